// The layer's windows, controls, menus and painting on Win32: each call is
// the window's, menu's or device context's own message or function.
#include "ui/win32/win32_window.h"

namespace lumora::ui {

namespace {

// A popup appended to another menu belongs to it (and goes with it): the
// mark in its menu data says so.
constexpr ULONG_PTR kAppendedMark = 0x4C554D;

bool IsAppended(HMENU menu)
{
    MENUINFO info{};
    info.cbSize = sizeof info;
    info.fMask = MIM_MENUDATA;
    return GetMenuInfo(menu, &info) != FALSE && info.dwMenuData == kAppendedMark;
}

void MarkAppended(HMENU menu)
{
    MENUINFO info{};
    info.cbSize = sizeof info;
    info.fMask = MIM_MENUDATA;
    info.dwMenuData = kAppendedMark;
    SetMenuInfo(menu, &info);
}

LONG_PTR StyleOf(const CWnd* window) { return GetWindowLongPtrW(Hwnd(window), GWL_STYLE); }

}  // namespace

int GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

int CWnd::GetDlgCtrlID() const
{
    return (StyleOf(this) & WS_CHILD) != 0 ? ::GetDlgCtrlID(Hwnd(this)) : 0;
}

void CWnd::SetWindowText(const std::string& text) { SetWindowTextW(Hwnd(this), Wide(text).c_str()); }

std::string CWnd::GetWindowText() const
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(Hwnd(this))) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(Hwnd(this), text.data(), static_cast<int>(text.size()))));
    return ToUtf8(text.c_str());
}

void CWnd::EnableWindow(bool enable) { ::EnableWindow(Hwnd(this), enable ? TRUE : FALSE); }

bool CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(Hwnd(this)) != FALSE; }

bool CWnd::IsWindowVisible() const { return ::IsWindowVisible(Hwnd(this)) != FALSE; }

// A control takes the focus through its dialog, which moves the default
// button's frame along.
void CWnd::SetFocus()
{
    HWND window = Hwnd(this);
    if ((StyleOf(this) & WS_CHILD) != 0) {
        SendMessageW(GetParent(window), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(window), TRUE);
    } else {
        ::SetFocus(window);
    }
}

void CWnd::SetTakesFocus(bool takes)
{
    const LONG_PTR style = StyleOf(this);
    SetWindowLongPtrW(Hwnd(this), GWL_STYLE, takes ? style | WS_TABSTOP : style & ~static_cast<LONG_PTR>(WS_TABSTOP));
}

bool CWnd::TakesFocus() const { return (StyleOf(this) & WS_TABSTOP) != 0; }

// A control's tool tip; an empty text takes it away.
void CWnd::SetToolTip(const std::string& text) { SetToolTipOf(Hwnd(this), text); }

void CWnd::SetIcon(HICON icon, bool big)
{
    SendMessageW(Hwnd(this), WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(NativeIconOf(icon)));
}

bool CWnd::IsIconic() const { return ::IsIconic(Hwnd(this)) != FALSE; }

PixelRect CWnd::GetClientRect() const
{
    RECT client{};
    ::GetClientRect(Hwnd(this), &client);
    return {0, 0, client.right, client.bottom};
}

void CButton::SetCheck(int check)
{
    SendMessageW(Hwnd(this), BM_SETCHECK, check != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
}

int CButton::GetCheck() const { return SendMessageW(Hwnd(this), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0; }

void CEdit::SetSel(int start, int end) { SendMessageW(Hwnd(this), EM_SETSEL, static_cast<WPARAM>(start), end); }

// The colour comes with the dialog's WM_CTLCOLORSTATIC (dialog_win32.cpp),
// from the window colour of the moment.
void CStatic::SetEmphasis(Emphasis emphasis)
{
    emphasis_ = emphasis;
    HWND text = Hwnd(this);
    SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont(GetParent(text), emphasis != Emphasis::None)),
                 FALSE);
    InvalidateRect(text, nullptr, TRUE);
}

// EndPaint needs the device context alone of what BeginPaint filled in.
CPaintDC::CPaintDC(CWnd* window) : window_(window)
{
    PAINTSTRUCT paint{};
    m_hDC = reinterpret_cast<NativePaint*>(BeginPaint(Hwnd(window), &paint));
}

CPaintDC::~CPaintDC()
{
    PAINTSTRUCT paint{};
    paint.hdc = reinterpret_cast<HDC>(m_hDC);
    EndPaint(Hwnd(window_), &paint);
}

void CPaintDC::EraseIconBackground()
{
    SendMessageW(Hwnd(window_), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(m_hDC), 0);
}

void CPaintDC::DrawIcon(int x, int y, HICON icon) { ::DrawIcon(reinterpret_cast<HDC>(m_hDC), x, y, NativeIconOf(icon)); }

CMenu::~CMenu()
{
    HMENU menu = Hmenu(this);
    if (menu != nullptr && IsMenu(menu) != FALSE && !IsAppended(menu)) {
        DestroyMenu(menu);
    }
}

bool CMenu::CreatePopupMenu()
{
    m_hMenu = reinterpret_cast<NativeMenu*>(::CreatePopupMenu());
    return m_hMenu != nullptr;
}

bool CMenu::AppendMenu(unsigned flags, unsigned id, const std::string& text)
{
    if ((flags & MF_SEPARATOR) != 0) {
        return AppendMenuW(Hmenu(this), flags, 0, nullptr) != FALSE;
    }
    return AppendMenuW(Hmenu(this), flags, id, Wide(text).c_str()) != FALSE;
}

bool CMenu::AppendPopup(CMenu& popup, const std::string& text)
{
    HMENU sub = Hmenu(&popup);
    if (AppendMenuW(Hmenu(this), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), Wide(text).c_str()) == FALSE) {
        return false;
    }
    MarkAppended(sub);
    popup.owner = owner;
    if (auto* dialog = dynamic_cast<CDialogEx*>(owner)) {
        RegisterPopup(*dialog, popup);
    }
    return true;
}

void CMenu::EnableMenuItem(unsigned item, unsigned flags) { ::EnableMenuItem(Hmenu(this), item, flags); }

void CMenu::CheckMenuItem(unsigned item, unsigned flags) { ::CheckMenuItem(Hmenu(this), item, flags); }

bool CMenu::DeleteMenu(unsigned item, unsigned flags) { return ::DeleteMenu(Hmenu(this), item, flags) != FALSE; }

int CMenu::GetMenuItemCount() const { return ::GetMenuItemCount(Hmenu(this)); }

bool CMenu::IsShown() const { return MenuIsOpen(Hmenu(this)); }

}  // namespace lumora::ui
