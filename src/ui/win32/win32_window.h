// The Win32 back end's side of the layer's handles: the HWND, HMENU and
// HICON behind them, and the pieces of the back end that its two halves
// (wnd_win32.cpp, dialog_win32.cpp) and the tests under Wine share. The
// dialogs never use it.
#pragma once

#include "ui/dialog.h"
#include "ui/win32/windows_api.h"

#include <vector>

namespace lumora::ui {

inline HWND Hwnd(const CWnd* window) { return window != nullptr ? reinterpret_cast<HWND>(window->m_hWnd) : nullptr; }
inline HWND Hwnd(const CWnd& window) { return Hwnd(&window); }
inline HMENU Hmenu(const CMenu* menu) { return menu != nullptr ? reinterpret_cast<HMENU>(menu->m_hMenu) : nullptr; }
inline ::HICON NativeIconOf(HICON icon) { return reinterpret_cast<::HICON>(icon); }
inline NativeWindow* HandleOf(HWND window) { return reinterpret_cast<NativeWindow*>(window); }

// The dialog's font, or its bold variant for an emphasised static text.
HFONT DialogFont(HWND dialog, bool bold);

// A popup appended to a menu of this dialog: its opening reaches
// OnInitMenuPopup, as the system menu's does.
void RegisterPopup(CDialogEx& dialog, CMenu& popup);

// The tool tip of a control of a dialog; an empty text takes it away.
void SetToolTipOf(HWND control, const std::string& text);

// Whether the menu is open on the screen now (between WM_INITMENUPOPUP and
// WM_UNINITMENUPOPUP).
bool MenuIsOpen(HMENU menu);

// The in-memory DLGTEMPLATEEX of a template: the dialog hidden, in the
// 8-point shell font, its controls in template order. WORDs, so that the
// block is aligned as CreateDialogIndirectParamW needs it.
std::vector<WORD> BuildDialogTemplate(const DialogTemplate& dialogTemplate);

// The window styles and class atom of one control of a template.
struct ControlClass {
    DWORD style;
    WORD atom;  // 0x0080 button, 0x0081 edit, 0x0082 static
};
ControlClass ClassOf(const ControlTemplate& control);

// The text colour of an emphasised static on this window colour: a contrast
// of at least 4.5 : 1, light or dark.
COLORREF EmphasisColour(Emphasis emphasis, COLORREF window);

}  // namespace lumora::ui
