// The windows of the MFC-shaped layer: a CWnd is a handle to one window of
// the toolkit underneath (a widget of Qt on Linux, an HWND on Windows), and
// the controls are CWnds of their kind. The dialogs are written against these
// classes alone; each back end (qt/, win32/) gives them their bodies.
//
// The names and values of the flags and metrics are Windows' own, so a back
// end that includes <windows.h> after this header sees the same numbers (and
// undefines the macros that rename functions, such as SetWindowText).
#pragma once

#include <cstdint>
#include <string>

namespace lumora::ui {

// The toolkit's window, menu and icon, opaque to everything but the back end.
struct NativeWindow;
struct NativeMenu;
struct NativeIcon;
struct NativePaint;
using HICON = NativeIcon*;

struct PixelRect;

// System metrics: the standard icon's width and height.
inline constexpr int SM_CXICON = 11;
inline constexpr int SM_CYICON = 12;
int GetSystemMetrics(int index);

// How a static text stands out: a failure and a warning are bold and in a
// colour that keeps its contrast on the window colour, light or dark.
enum class Emphasis : std::uint8_t {
    None,
    Warning,
    Failure,
};

struct Colour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Colour&) const = default;
};

// The text colour of an emphasis on this window colour, with a contrast of at
// least 4.5 : 1: the dark red or amber on a light window, the light ones on a
// dark window, whichever contrasts more; where neither reaches it (a middle
// grey), that colour darkened or lightened just enough.
Colour EmphasisColour(Emphasis emphasis, Colour window);

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    NativeWindow* GetSafeHwnd() const { return m_hWnd; }

    // The control id the window was created with; 0 for a top-level window.
    int GetDlgCtrlID() const;
    // Texts are UTF-8.
    void SetWindowText(const std::string& text);
    std::string GetWindowText() const;
    void EnableWindow(bool enable = true);
    bool IsWindowEnabled() const;
    bool IsWindowVisible() const;
    void SetFocus();
    // Whether the window takes the keyboard focus, by Tab or by a click.
    void SetTakesFocus(bool takes);
    bool TakesFocus() const;
    // The text that shows when the pointer rests on the window; a back end
    // without tool tips keeps it unseen.
    void SetToolTip(const std::string& text);
    // The window's icon, large (Alt+Tab, the minimised window) or small (its
    // caption).
    void SetIcon(HICON icon, bool big);
    bool IsIconic() const;
    // The client area, at 0, 0.
    PixelRect GetClientRect() const;

    NativeWindow* m_hWnd = nullptr;
};

class CButton : public CWnd {
public:
    // 1 ticked, 0 clear.
    void SetCheck(int check);
    int GetCheck() const;
};

class CEdit : public CWnd {
public:
    // Selects from start to end; (0, -1) selects the whole text.
    void SetSel(int start, int end);
};

class CStatic : public CWnd {
public:
    void SetEmphasis(Emphasis emphasis);
    Emphasis GetEmphasis() const { return emphasis_; }

private:
    Emphasis emphasis_ = Emphasis::None;
};

// The painting of one paint event, inside OnPaint only.
class CPaintDC {
public:
    explicit CPaintDC(CWnd* window);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    // Erases the background under a minimised window's icon.
    void EraseIconBackground();
    void DrawIcon(int x, int y, HICON icon);

    NativePaint* m_hDC = nullptr;

private:
    CWnd* window_;
};

// Menu item flags.
inline constexpr unsigned MF_BYCOMMAND = 0x0000;
inline constexpr unsigned MF_BYPOSITION = 0x0400;
inline constexpr unsigned MF_STRING = 0x0000;
inline constexpr unsigned MF_ENABLED = 0x0000;
inline constexpr unsigned MF_GRAYED = 0x0001;
inline constexpr unsigned MF_UNCHECKED = 0x0000;
inline constexpr unsigned MF_CHECKED = 0x0008;
inline constexpr unsigned MF_SEPARATOR = 0x0800;

// A menu: the dialog's system menu or a popup of it. Items carry command ids;
// a popup is reached by its position.
class CMenu {
public:
    CMenu() = default;
    ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    // Makes this an empty popup menu, to be appended to another with
    // AppendPopup; from then on it belongs to that menu's window.
    bool CreatePopupMenu();
    // An item (MF_STRING, with MF_GRAYED and MF_CHECKED as wanted) or a
    // separator (MF_SEPARATOR, id and text unused).
    bool AppendMenu(unsigned flags, unsigned id = 0, const std::string& text = {});
    bool AppendPopup(CMenu& popup, const std::string& text);
    // item is a command id (MF_BYCOMMAND) or a position (MF_BYPOSITION).
    void EnableMenuItem(unsigned item, unsigned flags);
    void CheckMenuItem(unsigned item, unsigned flags);
    bool DeleteMenu(unsigned item, unsigned flags);
    int GetMenuItemCount() const;
    // Whether the menu is open on the screen now.
    bool IsShown() const;

    NativeMenu* m_hMenu = nullptr;
    // The window whose commands the menu's items are (set by the back end).
    CWnd* owner = nullptr;
};

}  // namespace lumora::ui
