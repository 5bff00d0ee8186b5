// The dialog on Win32: a real dialog built by the dialog manager from an
// in-memory template of the layer's table, created modeless and hidden when
// the CDialogEx is constructed, run modally by DoModal's own message loop,
// and its messages turned into the layer's handlers; the hooks' message
// boxes and file chooser.
#include "ui/help.h"
#include "ui/resources.h"
#include "ui/win32/win32_window.h"

#include <map>
#include <set>
#include <utility>

namespace lumora::ui {

namespace {

constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;
constexpr WORD kStaticAtom = 0x0082;

// The busy pointer's requests, over every dialog of the application.
int waitCursors = 0;

// The menus open on the screen now.
std::set<HMENU>& OpenMenus()
{
    static std::set<HMENU> open;
    return open;
}

class TemplateWriter {
public:
    void Word(WORD value) { words_.push_back(value); }
    void Dword(DWORD value)
    {
        Word(LOWORD(value));
        Word(HIWORD(value));
    }
    void Text(const std::string& text)
    {
        for (const wchar_t c : Wide(text)) {
            Word(static_cast<WORD>(c));
        }
        Word(0);
    }
    void AlignToDword()
    {
        if (words_.size() % 2 != 0) {
            Word(0);
        }
    }
    std::vector<WORD> Take() { return std::move(words_); }

private:
    std::vector<WORD> words_;
};

DWORD DialogStyleOf(const DialogTemplate& dialogTemplate)
{
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SHELLFONT | DS_CENTER;
    if ((dialogTemplate.style & kThickFrame) != 0) {
        style |= WS_THICKFRAME;
    }
    if ((dialogTemplate.style & kModalFrame) != 0) {
        style |= DS_MODALFRAME;
    }
    return style;
}

DWORD DialogExStyleOf(const DialogTemplate& dialogTemplate)
{
    return (dialogTemplate.style & kAppWindow) != 0 ? WS_EX_APPWINDOW : 0;
}

// The class by name, as CreateWindowExW takes it (the atoms are the
// templates' shorthand alone).
const wchar_t* ClassNameOf(WORD atom)
{
    return atom == kButtonAtom ? L"Button" : atom == kEditAtom ? L"Edit" : L"Static";
}

CWnd* HandleOfWindow(HWND window) { return reinterpret_cast<CWnd*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

HWND TopLevel(CWnd& window) { return GetAncestor(Hwnd(window), GA_ROOT); }

std::wstring TitleOf(HWND window)
{
    std::wstring title(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    title.resize(static_cast<std::size_t>(GetWindowTextW(window, title.data(), static_cast<int>(title.size()))));
    return title;
}

}  // namespace

ControlClass ClassOf(const ControlTemplate& control)
{
    DWORD style = WS_CHILD | WS_VISIBLE;
    style |= (control.style & kTabStop) != 0 ? WS_TABSTOP : 0;
    style |= (control.style & kGroup) != 0 ? WS_GROUP : 0;
    style |= (control.style & kBorder) != 0 ? WS_BORDER : 0;
    switch (control.kind) {
    case ControlKind::DefPushButton:
        return {style | BS_DEFPUSHBUTTON, kButtonAtom};
    case ControlKind::PushButton:
        return {style | BS_PUSHBUTTON, kButtonAtom};
    case ControlKind::AutoCheckBox:
        return {style | BS_AUTOCHECKBOX, kButtonAtom};
    case ControlKind::Edit:
        return {style | ES_LEFT | ((control.style & kAutoHScroll) != 0 ? ES_AUTOHSCROLL : 0), kEditAtom};
    case ControlKind::Label:
        return {style | SS_LEFT | ((control.style & kNoPrefix) != 0 ? SS_NOPREFIX : 0), kStaticAtom};
    case ControlKind::Icon:
        return {style | SS_ICON, kStaticAtom};
    }
    return {style, kStaticAtom};
}

std::vector<WORD> BuildDialogTemplate(const DialogTemplate& dialogTemplate)
{
    TemplateWriter out;
    out.Word(1);       // DLGTEMPLATEEX
    out.Word(0xFFFF);
    out.Dword(0);      // help id
    out.Dword(DialogExStyleOf(dialogTemplate));
    out.Dword(DialogStyleOf(dialogTemplate));
    out.Word(static_cast<WORD>(dialogTemplate.controls.size()));
    out.Word(0);       // x, y: DS_CENTER places it
    out.Word(0);
    out.Word(static_cast<WORD>(dialogTemplate.width));
    out.Word(static_cast<WORD>(dialogTemplate.height));
    out.Word(0);       // no menu
    out.Word(0);       // the dialog class
    out.Text(dialogTemplate.caption);
    out.Word(8);       // point size, weight, italic and character set, face
    out.Word(FW_NORMAL);
    out.Word(MAKEWORD(FALSE, DEFAULT_CHARSET));
    out.Text("MS Shell Dlg");
    for (const ControlTemplate& control : dialogTemplate.controls) {
        out.AlignToDword();
        const ControlClass kind = ClassOf(control);
        out.Dword(0);  // help id
        out.Dword(0);  // extended style
        out.Dword(kind.style);
        out.Word(static_cast<WORD>(control.rect.x));
        out.Word(static_cast<WORD>(control.rect.y));
        out.Word(static_cast<WORD>(control.rect.width));
        out.Word(static_cast<WORD>(control.rect.height));
        out.Dword(static_cast<DWORD>(control.id));
        out.Word(0xFFFF);
        out.Word(kind.atom);
        if (control.kind == ControlKind::Icon) {
            out.Word(0xFFFF);  // the icon resource by its id
            out.Word(IDR_MAINFRAME);
        } else {
            out.Text(control.caption);
        }
        out.Word(0);  // no creation data
    }
    return out.Take();
}

COLORREF EmphasisColour(Emphasis emphasis, COLORREF window)
{
    const Colour text = EmphasisColour(emphasis, {GetRValue(window), GetGValue(window), GetBValue(window)});
    return RGB(text.red, text.green, text.blue);
}

bool MenuIsOpen(HMENU menu) { return OpenMenus().count(menu) != 0; }

struct CDialogEx::Impl {
    explicit Impl(CDialogEx& dialog) : owner(dialog) {}
    ~Impl()
    {
        if (hwnd != nullptr) {
            DestroyWindow(hwnd);
        }
        if (boldFont != nullptr) {
            DeleteObject(boldFont);
        }
    }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    CDialogEx& owner;
    HWND hwnd = nullptr;
    BaseUnits baseUnits{};
    HFONT boldFont = nullptr;
    bool initialised = false;
    bool running = false;
    bool ending = false;
    int result = IDCANCEL;
    bool paintByDefault = false;  // the base OnPaint left the painting to the dialog manager
    std::map<HMENU, CMenu*> popups;  // the system menu and the popups appended to it
    HWND toolTips = nullptr;         // made with the first tool tip; goes with the dialog, its owner

    static Impl* Of(HWND dialog) { return reinterpret_cast<Impl*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

    static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            return FALSE;  // the focus is set when the dialog is first shown
        }
        Impl* impl = Of(dialog);
        return impl != nullptr ? impl->Handle(message, wParam, lParam) : FALSE;
    }

    // The answer of a message whose result goes through DWLP_MSGRESULT.
    INT_PTR Answer(LONG_PTR value)
    {
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, value);
        return TRUE;
    }

    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam)
    {
        switch (message) {
        case WM_COMMAND:
            return Command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        case WM_SYSCOMMAND: {
            // The system's own commands other than Close keep their default
            // processing (move, size, the keyboard's menu); Close and the
            // dialog's own items reach OnSysCommand.
            const auto id = static_cast<unsigned>(wParam);
            if ((id & kSystemCommandMask) >= 0xF000 && (id & kSystemCommandMask) != SC_CLOSE) {
                return FALSE;
            }
            owner.OnSysCommand(id);
            return Answer(0);
        }
        case WM_CLOSE:
            owner.OnClose();
            return Answer(0);
        case WM_TIMER:
            owner.OnTimer(static_cast<unsigned>(wParam));
            return Answer(0);
        case WM_INITMENUPOPUP: {
            const auto menu = reinterpret_cast<HMENU>(wParam);
            OpenMenus().insert(menu);
            if (const auto found = popups.find(menu); found != popups.end()) {
                owner.OnInitMenuPopup(found->second);
            }
            return FALSE;
        }
        case WM_UNINITMENUPOPUP:
            OpenMenus().erase(reinterpret_cast<HMENU>(wParam));
            return FALSE;
        case WM_CONTEXTMENU:
            return ContextMenu(reinterpret_cast<HWND>(wParam), lParam);
        case WM_PAINT:
            paintByDefault = false;
            owner.OnPaint();
            return paintByDefault ? FALSE : Answer(0);
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(owner.OnQueryDragIcon());
        case WM_CTLCOLORSTATIC:
            return StaticColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_SETCURSOR:
            if (waitCursors > 0) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                return Answer(TRUE);
            }
            return FALSE;
        default:
            return FALSE;
        }
    }

    INT_PTR Command(int id, int code, HWND from)
    {
        if ((id == IDOK || id == IDCANCEL) && code == BN_CLICKED) {
            owner.OnCommand(id);  // the buttons, or Enter and Escape (from no button where the dialog has none)
        } else if (from == nullptr && code == 0) {
            owner.OnSysCommand(static_cast<unsigned>(id));  // an item of a submenu of the system menu
        } else if (from != nullptr && code == BN_CLICKED) {
            owner.OnCommand(id);
        }
        return Answer(0);
    }

    // A right click on the dialog's background or on a static text opens the
    // system menu there; its command goes the way of the system menu's own.
    INT_PTR ContextMenu(HWND where, LPARAM at)
    {
        if (where != hwnd && dynamic_cast<CStatic*>(HandleOfWindow(where)) == nullptr) {
            return FALSE;
        }
        POINT point{static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
        if (at == -1) {  // the keyboard's menu key: at the client area's corner
            point = {0, 0};
            ClientToScreen(hwnd, &point);
        }
        const UINT command = TrackPopupMenu(Hmenu(&owner.systemMenu_), TPM_RETURNCMD | TPM_RIGHTBUTTON, point.x,
                                            point.y, 0, hwnd, nullptr);
        if (command != 0) {
            SendMessageW(hwnd, WM_SYSCOMMAND, command, 0);
        }
        return Answer(0);
    }

    INT_PTR StaticColours(HDC dc, HWND control)
    {
        const auto* text = dynamic_cast<CStatic*>(HandleOfWindow(control));
        if (text == nullptr || text->GetEmphasis() == Emphasis::None) {
            return FALSE;
        }
        const COLORREF window = GetSysColor(COLOR_3DFACE);
        SetTextColor(dc, EmphasisColour(text->GetEmphasis(), window));
        SetBkColor(dc, window);
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_3DFACE));
    }

    void Place(HWND control, DialogUnitRect rect) const
    {
        const PixelRect at = DialogUnitsToPixels(rect, baseUnits);
        MoveWindow(control, at.x, at.y, at.width, at.height, TRUE);
    }

    static void AddPopup(CDialogEx& dialog, CMenu& popup) { dialog.impl_->popups[Hmenu(&popup)] = &popup; }
};

void RegisterPopup(CDialogEx& dialog, CMenu& popup) { CDialogEx::Impl::AddPopup(dialog, popup); }

void SetToolTipOf(HWND control, const std::string& text)
{
    HWND dialog = GetParent(control);
    CDialogEx::Impl* impl = dialog != nullptr ? CDialogEx::Impl::Of(dialog) : nullptr;
    if (impl == nullptr) {
        return;
    }
    if (impl->toolTips == nullptr) {
        impl->toolTips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
                                         GetModuleHandleW(nullptr), nullptr);
        SendMessageW(impl->toolTips, TTM_SETMAXTIPWIDTH, 0, 480);  // a long text wraps
    }
    std::wstring wide = Wide(text);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = wide.data();
    if (dynamic_cast<CStatic*>(HandleOfWindow(control)) != nullptr) {
        // A static text lets the mouse through to the dialog: the tool is
        // its place there.
        tool.uFlags = TTF_SUBCLASS;
        GetWindowRect(control, &tool.rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&tool.rect), 2);
    } else {
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    }
    SendMessageW(impl->toolTips, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    if (!wide.empty()) {
        SendMessageW(impl->toolTips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

HFONT DialogFont(HWND dialog, bool bold)
{
    const auto font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    CDialogEx::Impl* impl = CDialogEx::Impl::Of(dialog);
    if (!bold || impl == nullptr || font == nullptr) {
        return font;
    }
    if (impl->boldFont == nullptr) {
        LOGFONTW face{};
        GetObjectW(font, sizeof face, &face);
        face.lfWeight = FW_BOLD;
        impl->boldFont = CreateFontIndirectW(&face);
    }
    return impl->boldFont;
}

CDialogEx::CDialogEx(const DialogTemplate& dialogTemplate, CWnd* parent)
    : hooks(DefaultHooks()), template_(dialogTemplate), parent_(parent), impl_(std::make_unique<Impl>(*this))
{
    const std::vector<WORD> block = BuildDialogTemplate(template_);
    Impl& window = *impl_;
    window.hwnd = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                             reinterpret_cast<LPCDLGTEMPLATEW>(block.data()), Hwnd(parent),
                                             &Impl::Proc, reinterpret_cast<LPARAM>(&window));
    m_hWnd = HandleOf(window.hwnd);
    RECT units{0, 0, 4, 8};
    ::MapDialogRect(window.hwnd, &units);
    window.baseUnits = {units.right, units.bottom};

    systemMenu_.m_hMenu = reinterpret_cast<NativeMenu*>(::GetSystemMenu(window.hwnd, FALSE));
    systemMenu_.owner = this;
    window.popups[Hmenu(&systemMenu_)] = &systemMenu_;

    // The dialog manager made the controls in template order, each one
    // below the one before.
    HWND child = GetWindow(window.hwnd, GW_CHILD);
    for (const ControlTemplate& control : template_.controls) {
        std::unique_ptr<CWnd> handle = NewControlHandle(control.kind);
        handle->m_hWnd = HandleOf(child);
        SetWindowLongPtrW(child, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(handle.get()));
        controls_.push_back(Adopt(std::move(handle), control.id));
        child = GetWindow(child, GW_HWNDNEXT);
    }
}

CDialogEx::~CDialogEx()
{
    // The window takes its controls and its system menu with it.
    systemMenu_.m_hMenu = nullptr;
    impl_.reset();
}

CWnd* CDialogEx::CreateControl(const ControlTemplate& control)
{
    ControlClass kind = ClassOf(control);
    if (control.kind == ControlKind::Label) {
        kind.style |= SS_NOPREFIX;  // a text of the program's, shown as it is
    }
    const PixelRect at = MapDialogRect(control.rect);
    HWND created = CreateWindowExW(0, ClassNameOf(kind.atom), Wide(control.caption).c_str(), kind.style, at.x, at.y,
                                   at.width, at.height, impl_->hwnd,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                                   GetModuleHandleW(nullptr), nullptr);
    SendMessageW(created, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont(impl_->hwnd, false)), FALSE);
    if (control.kind == ControlKind::Icon) {
        SendMessageW(created, STM_SETICON, reinterpret_cast<WPARAM>(NativeIconOf(LoadAppIcon())), 0);
    }
    std::unique_ptr<CWnd> handle = NewControlHandle(control.kind);
    handle->m_hWnd = HandleOf(created);
    SetWindowLongPtrW(created, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(handle.get()));
    return Adopt(std::move(handle), control.id);
}

void CDialogEx::SetClientSize(int width, int height)
{
    const PixelRect client = MapDialogRect({0, 0, width, height});
    RECT frame{0, 0, client.width, client.height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(impl_->hwnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(impl_->hwnd, GWL_EXSTYLE)));
    SetWindowPos(impl_->hwnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// As the dialog manager places the controls: each of x, y, width and height
// mapped on its own.
PixelRect CDialogEx::MapDialogRect(DialogUnitRect rect) const { return DialogUnitsToPixels(rect, impl_->baseUnits); }

int CDialogEx::DoModal()
{
    Impl& window = *impl_;
    if (window.running || window.hwnd == nullptr) {
        return -1;  // already running, or the window could not be made
    }
    window.running = true;
    window.ending = false;
    window.result = IDCANCEL;
    HWND owner = GetWindow(window.hwnd, GW_OWNER);
    const bool ownerWasEnabled = owner != nullptr && ::IsWindowEnabled(owner) != FALSE;
    if (ownerWasEnabled) {
        ::EnableWindow(owner, FALSE);
    }
    if (!window.initialised) {
        window.initialised = true;
        if (OnInitDialog()) {
            for (CWnd* control : controls_) {
                HWND handle = Hwnd(control);
                if ((GetWindowLongPtrW(handle, GWL_STYLE) & WS_TABSTOP) != 0 && ::IsWindowEnabled(handle) != FALSE) {
                    SendMessageW(window.hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(handle), TRUE);
                    break;
                }
            }
        }
    }
    ShowWindow(window.hwnd, SW_SHOW);
    SetForegroundWindow(window.hwnd);

    MSG message;
    while (!window.ending) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam));  // for the loop outside this one
            break;
        }
        if (got == -1) {
            break;
        }
        if (IsDialogMessageW(window.hwnd, &message) == FALSE) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    // The owner is enabled before this window hides, so that it is the one
    // the system activates next.
    if (ownerWasEnabled) {
        ::EnableWindow(owner, TRUE);
    }
    ShowWindow(window.hwnd, SW_HIDE);
    if (owner != nullptr) {
        SetActiveWindow(owner);
    }
    window.running = false;
    return window.result;
}

void CDialogEx::EndDialog(int result)
{
    impl_->result = result;
    impl_->ending = true;
    PostMessageW(impl_->hwnd, WM_NULL, 0, 0);  // wakes the loop
}

CWnd* CDialogEx::GetFocusedControl() const
{
    HWND focused = ::GetFocus();
    for (const std::unique_ptr<CWnd>& control : owned_) {
        if (Hwnd(control.get()) == focused) {
            return control.get();
        }
    }
    return nullptr;
}

void CDialogEx::SetTimer(unsigned id, unsigned milliseconds) { ::SetTimer(impl_->hwnd, id, milliseconds, nullptr); }

void CDialogEx::KillTimer(unsigned id) { ::KillTimer(impl_->hwnd, id); }

void CDialogEx::BeginWaitCursor()
{
    ++waitCursors;
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void CDialogEx::EndWaitCursor()
{
    if (waitCursors > 0 && --waitCursors == 0) {
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    }
}

// Windows has no module watcher: an unplugged module is noticed at the next
// action.
bool CDialogEx::WatchDescriptor(int) { return false; }

void CDialogEx::OnPaint() { impl_->paintByDefault = true; }

CDialogEx::Hooks DefaultHooks()
{
    return {
        [](CWnd& parent, const std::string& text) {
            HWND window = TopLevel(parent);
            MessageBoxW(window, Wide(text).c_str(), TitleOf(window).c_str(), MB_OK | MB_ICONWARNING);
        },
        [](CDialogEx& dialog) { return dialog.DoModal(); },
        [](CWnd& parent) { ShowOperatorHelp(parent); },
        [](CWnd& parent, const std::string& caption, const FileFilter& filter) {
            // "Name (pattern)", the pattern, and the list's end: two NULs.
            std::wstring filters = Wide(filter.name + " (" + filter.pattern + ")");
            filters += L'\0';
            filters += Wide(filter.pattern);
            filters += L'\0';
            const std::wstring title = Wide(caption);
            std::wstring path(32768, L'\0');
            OPENFILENAMEW chooser{};
            chooser.lStructSize = sizeof chooser;
            chooser.hwndOwner = TopLevel(parent);
            chooser.lpstrFilter = filters.c_str();
            chooser.lpstrFile = path.data();
            chooser.nMaxFile = static_cast<DWORD>(path.size());
            chooser.lpstrTitle = title.c_str();
            chooser.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
            if (GetOpenFileNameW(&chooser) == FALSE) {
                return std::string();
            }
            return ToUtf8(path.c_str());  // the code page is UTF-8: the core opens it by this name
        },
        [](CWnd& parent, const std::string& question) {
            HWND window = TopLevel(parent);
            return MessageBoxW(window, Wide(question).c_str(), TitleOf(window).c_str(),
                               MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
        },
    };
}

void ShowOperatorHelp(CWnd& parent)
{
    MessageBoxW(TopLevel(parent), Wide(OperatorHelpText()).c_str(), L"Lumora Help", MB_OK | MB_ICONINFORMATION);
}

HICON LoadAppIcon()
{
    static ::HICON icon = static_cast<::HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                           IMAGE_ICON, ::GetSystemMetrics(SM_CXICON),
                                                           ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR | LR_SHARED));
    return reinterpret_cast<HICON>(icon);
}

}  // namespace lumora::ui
