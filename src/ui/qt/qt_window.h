// The Qt back end's side of the layer's handles: the widget, menu and icon
// behind them. For the back end itself and for tests that drive the widgets
// as the operator does; the dialogs never use it.
#pragma once

#include "ui/dialog.h"

class QFont;
class QIcon;
class QMenu;
class QWidget;

namespace lumora::ui {

inline QWidget* QtWidget(const CWnd* window)
{
    return window != nullptr ? reinterpret_cast<QWidget*>(window->m_hWnd) : nullptr;
}
inline QWidget* QtWidget(const CWnd& window) { return QtWidget(&window); }
inline QMenu* QtMenu(const CMenu* menu) { return menu != nullptr ? reinterpret_cast<QMenu*>(menu->m_hMenu) : nullptr; }
inline const QIcon& QtIcon(HICON icon) { return *reinterpret_cast<const QIcon*>(icon); }

inline NativeWindow* HandleOf(QWidget* widget) { return reinterpret_cast<NativeWindow*>(widget); }

// The dialog whose window this is; nullptr for another widget.
CDialogEx* DialogOf(QWidget* window);

// The popup of a dialog's menu is about to open (its aboutToShow).
void NotifyInitMenuPopup(CDialogEx& dialog, CMenu& popup);

// The font's base units, measured as the dialog manager measures them.
BaseUnits BaseUnitsOf(const QFont& font);

}  // namespace lumora::ui
