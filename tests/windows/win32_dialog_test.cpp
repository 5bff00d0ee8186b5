// The dialog's Win32 back end on a real dialog manager (Wine's): the
// templates as it builds them, the data exchange through its edits, the
// routing of its messages to the handlers, the modal loop and the emphasis
// of a static text.
#include "ui/about_dlg.h"
#include "ui/led_dlg.h"
#include "ui/win32/win32_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace lumora::ui {
namespace {

std::wstring ClassName(HWND window)
{
    wchar_t name[32]{};
    GetClassNameW(window, name, 32);
    return name;
}

const wchar_t* ExpectedClass(ControlKind kind)
{
    switch (kind) {
    case ControlKind::DefPushButton:
    case ControlKind::PushButton:
    case ControlKind::AutoCheckBox:
        return L"Button";
    case ControlKind::Edit:
        return L"Edit";
    case ControlKind::Label:
    case ControlKind::Icon:
        break;
    }
    return L"Static";
}

LONG_PTR StyleOf(HWND window) { return GetWindowLongPtrW(window, GWL_STYLE); }

// The control's place in its dialog's client area.
PixelRect PlaceOf(HWND control)
{
    RECT at{};
    GetWindowRect(control, &at);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&at), 2);
    return {at.left, at.top, at.right - at.left, at.bottom - at.top};
}

void ExpectPlace(HWND control, PixelRect expected)
{
    const PixelRect at = PlaceOf(control);
    EXPECT_EQ(at.x, expected.x);
    EXPECT_EQ(at.y, expected.y);
    EXPECT_EQ(at.width, expected.width);
    EXPECT_EQ(at.height, expected.height);
}

TEST(Win32Dialog, TheDialogManagerBuildsEachTemplateAsTheTableSays)
{
    for (const DialogTemplate* table : {&kMainDialogTemplate, &kAboutDialogTemplate, &kLedCurrentsDialogTemplate}) {
        SCOPED_TRACE(table->caption);
        CDialogEx dialog(*table, nullptr);
        HWND window = Hwnd(dialog);
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(dialog.IsWindowVisible());
        EXPECT_EQ(dialog.GetWindowText(), table->caption);
        EXPECT_EQ((StyleOf(window) & WS_THICKFRAME) != 0, (table->style & kThickFrame) != 0);
        EXPECT_EQ((GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW) != 0, (table->style & kAppWindow) != 0);
        // The system's own mapping of the dialog units, for the client area
        // and each control's corner.
        RECT client{};
        GetClientRect(window, &client);
        RECT size{0, 0, table->width, table->height};
        ::MapDialogRect(window, &size);
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);

        int children = 0;
        for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            ++children;
        }
        ASSERT_EQ(children, static_cast<int>(table->controls.size()));
        ASSERT_EQ(dialog.Controls().size(), table->controls.size());
        for (std::size_t i = 0; i < table->controls.size(); ++i) {
            const ControlTemplate& control = table->controls[i];
            SCOPED_TRACE(control.caption);
            CWnd* handle = dialog.Controls()[i];
            HWND made = Hwnd(handle);
            EXPECT_EQ(handle->GetDlgCtrlID(), control.id);
            EXPECT_EQ(ClassName(made), ExpectedClass(control.kind));
            EXPECT_EQ((StyleOf(made) & WS_TABSTOP) != 0, (control.style & kTabStop) != 0);
            EXPECT_EQ((StyleOf(made) & WS_GROUP) != 0, (control.style & kGroup) != 0);
            EXPECT_EQ(static_cast<DWORD>(StyleOf(made) & 0xF), ClassOf(control).style & 0xF);  // the button or static type
            if (control.id != IDC_STATIC) {
                EXPECT_EQ(dialog.GetDlgItem(control.id), handle);
            }
            if (control.kind == ControlKind::Icon) {
                EXPECT_NE(SendMessageW(made, STM_GETICON, 0, 0), 0);  // icon 128 of the resources
                continue;
            }
            EXPECT_EQ(handle->GetWindowText(), control.caption);
            RECT corner{control.rect.x, control.rect.y, control.rect.x, control.rect.y};
            ::MapDialogRect(window, &corner);
            const PixelRect at = PlaceOf(made);
            EXPECT_EQ(at.x, corner.left);
            EXPECT_EQ(at.y, corner.top);
            ExpectPlace(made, dialog.MapDialogRect(control.rect));
        }
    }
}

TEST(Win32Dialog, AControlBeyondTheTemplateIsPlacedFoundAndShowsItsTextAsItIs)
{
    CDialogEx dialog(kMainDialogTemplate, nullptr);
    CWnd* line = dialog.CreateControl({IDC_STATUS_LINE, ControlKind::Label, "", kStatusLineRect, kNoPrefix});
    ASSERT_NE(Hwnd(line), nullptr);
    EXPECT_EQ(dialog.GetDlgItem(IDC_STATUS_LINE), line);
    EXPECT_EQ(dialog.Controls().size(), kMainDialogTemplate.controls.size());
    EXPECT_EQ(ClassName(Hwnd(line)), L"Static");
    EXPECT_NE(StyleOf(Hwnd(line)) & SS_NOPREFIX, 0);
    ExpectPlace(Hwnd(line), dialog.MapDialogRect(kStatusLineRect));
    const std::string text = "\u2716 Fr\u00E9quence & \u00DCberlauf";
    line->SetWindowText(text);
    EXPECT_EQ(line->GetWindowText(), text);

    dialog.SetClientSize(kMainDialogTemplate.width, kMainDialogHeightWithStatus);
    const PixelRect client = dialog.GetClientRect();
    const PixelRect wanted = dialog.MapDialogRect({0, 0, kMainDialogTemplate.width, kMainDialogHeightWithStatus});
    EXPECT_EQ(client.width, wanted.width);
    EXPECT_EQ(client.height, wanted.height);
}

struct ExchangeCase {
    const char* name;
    const char* red;
    const char* green;
    const char* blue;
    bool saved;
    std::string prompt;  // "" for none
    int focused;         // the edit with the focus after a refusal
};

TEST(Win32Dialog, TheExchangeReadsRealEditsAndPutsTheFocusOnTheRefusedOne)
{
    const ExchangeCase cases[] = {
        {"letters", "abc", "2", "3", false, IntegerPrompt(), IDC_LED_RED},
        {"above the range", "1", "256", "3", false, RangePrompt(0, 255), IDC_LED_GREEN},
        {"empty", "1", "2", "", false, IntegerPrompt(), IDC_LED_BLUE},
        {"valid, with blanks", " 0", "+255 ", "7", true, "", 0},
    };
    for (const ExchangeCase& row : cases) {
        SCOPED_TRACE(row.name);
        CLedCurrentsDlg dialog;
        std::vector<std::string> prompts;
        dialog.hooks.prompt = [&](CWnd&, const std::string& text) { prompts.push_back(text); };
        ShowWindow(Hwnd(dialog), SW_SHOW);
        SetForegroundWindow(Hwnd(dialog));
        dialog.GetDlgItem(IDC_LED_RED)->SetWindowText(row.red);
        dialog.GetDlgItem(IDC_LED_GREEN)->SetWindowText(row.green);
        dialog.GetDlgItem(IDC_LED_BLUE)->SetWindowText(row.blue);
        EXPECT_EQ(dialog.UpdateData(true), row.saved);
        if (row.saved) {
            EXPECT_TRUE(prompts.empty());
            EXPECT_EQ(dialog.red, 0);
            EXPECT_EQ(dialog.green, 255);
            EXPECT_EQ(dialog.blue, 7);
            continue;
        }
        ASSERT_EQ(prompts.size(), 1u);
        EXPECT_EQ(prompts[0], row.prompt);
        EXPECT_EQ(dialog.GetFocusedControl(), dialog.GetDlgItem(row.focused));
        DWORD start = 1;
        DWORD end = 0;
        SendMessageW(Hwnd(dialog.GetDlgItem(row.focused)), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 0u);
        EXPECT_EQ(end, static_cast<DWORD>(std::string(row.focused == IDC_LED_RED     ? row.red
                                                      : row.focused == IDC_LED_GREEN ? row.green
                                                                                     : row.blue)
                                              .size()));
    }
}

// A dialog that tells which handler each message reached.
class Recorder : public CDialogEx {
public:
    explicit Recorder(CWnd* parent = nullptr) : CDialogEx(kAboutDialogTemplate, parent) {}
    std::vector<std::string> heard;
    int initialised = 0;
    bool parentEnabledMeanwhile = true;

    void OnSysCommand(unsigned id) override
    {
        heard.push_back("sys " + std::to_string(id));
        CDialogEx::OnSysCommand(id);
    }

protected:
    bool OnInitDialog() override
    {
        ++initialised;
        if (GetParent() != nullptr) {
            parentEnabledMeanwhile = GetParent()->IsWindowEnabled();
        }
        return CDialogEx::OnInitDialog();
    }
    void OnCommand(int id) override
    {
        heard.push_back("command " + std::to_string(id));
        CDialogEx::OnCommand(id);  // which sends OK and Cancel on
    }
    void OnOK() override { heard.push_back("ok"); }
    void OnCancel() override
    {
        heard.push_back("cancel");
        CDialogEx::OnCancel();
    }
    void OnClose() override
    {
        heard.push_back("close");
        CDialogEx::OnClose();
    }
    void OnTimer(unsigned id) override { heard.push_back("timer " + std::to_string(id)); }
    void OnInitMenuPopup(CMenu*) override { heard.push_back("popup"); }
};

TEST(Win32Dialog, EachMessageReachesItsHandler)
{
    Recorder dialog;
    HWND window = Hwnd(dialog);
    HWND ok = Hwnd(dialog.GetDlgItem(IDOK));
    CMenu popup;
    ASSERT_TRUE(popup.CreatePopupMenu());
    CMenu* menu = dialog.GetSystemMenu();
    ASSERT_EQ(menu->m_hMenu, reinterpret_cast<NativeMenu*>(::GetSystemMenu(window, FALSE)));
    const int items = menu->GetMenuItemCount();
    ASSERT_TRUE(menu->AppendMenu(MF_STRING, 0x0030, "Item"));
    ASSERT_TRUE(menu->AppendPopup(popup, "Popup"));
    EXPECT_EQ(menu->GetMenuItemCount(), items + 2);
    HMENU stray = ::CreatePopupMenu();

    struct Row {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        std::vector<std::string> heard;
    };
    const Row rows[] = {
        {"an item of the dialog", WM_SYSCOMMAND, 0x0013, 0, {"sys 19"}},
        {"the system's restore", WM_SYSCOMMAND, SC_RESTORE, 0, {}},
        {"the system's close", WM_SYSCOMMAND, SC_CLOSE, 0, {"sys 61536", "close", "cancel"}},
        {"the close button", WM_CLOSE, 0, 0, {"close", "cancel"}},
        {"OK or Enter", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok), {"command 1", "ok"}},
        {"Escape", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0, {"command 2", "cancel"}},
        {"a button", WM_COMMAND, MAKEWPARAM(1234, BN_CLICKED), reinterpret_cast<LPARAM>(ok), {"command 1234"}},
        {"an edit's change", WM_COMMAND, MAKEWPARAM(1234, EN_CHANGE), reinterpret_cast<LPARAM>(ok), {}},
        {"an item of a submenu", WM_COMMAND, MAKEWPARAM(0x0100, 0), 0, {"sys 256"}},
        {"a timer", WM_TIMER, 7, 0, {"timer 7"}},
        {"the popup opening", WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup.m_hMenu), 4, {"popup"}},
        {"the system menu opening", WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu->m_hMenu), MAKELPARAM(0, TRUE),
         {"popup"}},
        {"a menu of no CMenu opening", WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(stray), 0, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        dialog.heard.clear();
        SendMessageW(window, row.message, row.wParam, row.lParam);
        EXPECT_EQ(dialog.heard, row.heard);
    }
    DestroyMenu(stray);
}

TEST(Win32Dialog, DoModalInitialisesOnceBlocksTheOwnerAndEndsByTheKeyboard)
{
    CDialogEx owner(kMainDialogTemplate, nullptr);
    Recorder about(&owner);
    struct Row {
        WPARAM key;
        std::vector<std::string> heard;  // first
    };
    for (const Row& row : {Row{VK_RETURN, {"command 1", "ok"}}, Row{VK_ESCAPE, {"command 2", "cancel"}}}) {
        SCOPED_TRACE(row.heard.back());
        about.heard.clear();
        // The Recorder's OK only records: the close that a timer asks for
        // ends the loop.
        PostMessageW(Hwnd(about.GetDlgItem(IDOK)), WM_KEYDOWN, row.key, 0);
        ::SetTimer(Hwnd(about), 99, 200, [](HWND window, UINT, UINT_PTR, DWORD) {
            ::KillTimer(window, 99);
            PostMessageW(window, WM_CLOSE, 0, 0);
        });
        EXPECT_EQ(about.DoModal(), IDCANCEL);
        ::KillTimer(Hwnd(about), 99);
        ASSERT_GE(about.heard.size(), row.heard.size());
        EXPECT_EQ(std::vector<std::string>(about.heard.begin(), about.heard.begin() + 2), row.heard);
        EXPECT_TRUE(owner.IsWindowEnabled());
        EXPECT_FALSE(about.IsWindowVisible());
    }
    EXPECT_EQ(about.initialised, 1);
    EXPECT_FALSE(about.parentEnabledMeanwhile);

    CAboutDlg plain(&owner);  // the base's own OK and Cancel end the loop
    PostMessageW(Hwnd(plain.GetDlgItem(IDOK)), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(plain.DoModal(), IDOK);
    PostMessageW(Hwnd(plain.GetDlgItem(IDOK)), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(plain.DoModal(), IDCANCEL);
}

TEST(Win32Dialog, AnEmphasisedTextIsBoldInAColourThatStandsOut)
{
    CDialogEx dialog(kMainDialogTemplate, nullptr);
    auto* line = dynamic_cast<CStatic*>(
        dialog.CreateControl({IDC_STATUS_LINE, ControlKind::Label, "", kStatusLineRect, kNoPrefix}));
    ASSERT_NE(line, nullptr);
    HDC dc = GetDC(Hwnd(line));
    const auto weight = [&] {
        LOGFONTW face{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Hwnd(line), WM_GETFONT, 0, 0)), sizeof face, &face);
        return face.lfWeight;
    };
    for (const Emphasis emphasis : {Emphasis::Failure, Emphasis::Warning}) {
        line->SetEmphasis(emphasis);
        SetTextColor(dc, RGB(1, 2, 3));
        EXPECT_NE(SendMessageW(Hwnd(dialog), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                               reinterpret_cast<LPARAM>(Hwnd(line))),
                  0);
        EXPECT_EQ(GetTextColor(dc), EmphasisColour(emphasis, GetSysColor(COLOR_3DFACE)));
        EXPECT_EQ(weight(), FW_BOLD);
    }
    line->SetEmphasis(Emphasis::None);
    SendMessageW(Hwnd(dialog), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Hwnd(line)));
    EXPECT_EQ(GetTextColor(dc), GetSysColor(COLOR_WINDOWTEXT));  // the dialog's own colours
    EXPECT_LT(weight(), FW_BOLD);
    ReleaseDC(Hwnd(line), dc);
}

double Luminance(COLORREF colour)
{
    const auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(GetRValue(colour)) + 0.7152 * channel(GetGValue(colour)) +
           0.0722 * channel(GetBValue(colour));
}

TEST(Win32Dialog, TheEmphasisKeepsItsContrastOnEveryWindowColour)
{
    // Windows' default face, the classic greys, a middle grey, dark themes,
    // white and black.
    for (const COLORREF face : {RGB(0xF0, 0xF0, 0xF0), RGB(0xD4, 0xD0, 0xC8), RGB(0xC0, 0xC0, 0xC0),
                                RGB(0x80, 0x80, 0x80), RGB(0x77, 0x77, 0x77), RGB(0x3C, 0x3C, 0x3C),
                                RGB(0x20, 0x20, 0x20), RGB(0xFF, 0xFF, 0xFF), RGB(0, 0, 0)}) {
        for (const Emphasis emphasis : {Emphasis::Failure, Emphasis::Warning}) {
            const COLORREF text = EmphasisColour(emphasis, face);
            const double a = Luminance(text) + 0.05;
            const double b = Luminance(face) + 0.05;
            EXPECT_GE(std::max(a, b) / std::min(a, b), 4.5) << std::hex << face << " " << text;
        }
    }
    EXPECT_EQ(EmphasisColour(Emphasis::Failure, RGB(0xF0, 0xF0, 0xF0)), RGB(0xA8, 0x00, 0x1C));
    EXPECT_EQ(EmphasisColour(Emphasis::Warning, RGB(0xF0, 0xF0, 0xF0)), RGB(0x7A, 0x43, 0x00));
}

}  // namespace
}  // namespace lumora::ui
