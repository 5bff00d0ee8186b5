// The layer's windows, controls, menus and painting on Qt 6 Widgets.
#include "ui/dialog_template.h"
#include "ui/qt/qt_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QWidget>

namespace lumora::ui {

namespace {

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The item of a menu: a command id, or a position.
QAction* ItemOf(QMenu* menu, unsigned item, unsigned flags)
{
    const QList<QAction*> actions = menu->actions();
    if ((flags & MF_BYPOSITION) != 0) {
        return item < static_cast<unsigned>(actions.size()) ? actions[static_cast<qsizetype>(item)] : nullptr;
    }
    for (QAction* action : actions) {
        if (!action->isSeparator() && action->menu() == nullptr && action->data().toUInt() == item) {
            return action;
        }
    }
    return nullptr;
}

}  // namespace

int GetSystemMetrics(int index)
{
    if (index == SM_CXICON || index == SM_CYICON) {
        return QApplication::style()->pixelMetric(QStyle::PM_LargeIconSize);
    }
    return 0;
}

int CWnd::GetDlgCtrlID() const { return QtWidget(this)->property("controlId").toInt(); }

void CWnd::SetWindowText(const std::string& text)
{
    QWidget* widget = QtWidget(this);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(FromUtf8(text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(FromUtf8(text));
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(FromUtf8(text));
    } else {
        widget->setWindowTitle(FromUtf8(text));
    }
}

std::string CWnd::GetWindowText() const
{
    QWidget* widget = QtWidget(this);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        return edit->text().toStdString();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return button->text().toStdString();
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return label->text().toStdString();
    }
    return widget->windowTitle().toStdString();
}

void CWnd::EnableWindow(bool enable) { QtWidget(this)->setEnabled(enable); }

bool CWnd::IsWindowEnabled() const { return QtWidget(this)->isEnabled(); }

bool CWnd::IsWindowVisible() const { return QtWidget(this)->isVisible(); }

void CWnd::SetFocus() { QtWidget(this)->setFocus(Qt::OtherFocusReason); }

void CWnd::SetTakesFocus(bool takes) { QtWidget(this)->setFocusPolicy(takes ? Qt::StrongFocus : Qt::NoFocus); }

bool CWnd::TakesFocus() const { return QtWidget(this)->focusPolicy() != Qt::NoFocus; }

void CWnd::SetToolTip(const std::string& text) { QtWidget(this)->setToolTip(FromUtf8(text)); }

void CWnd::SetIcon(HICON icon, bool) { QtWidget(this)->setWindowIcon(QtIcon(icon)); }

bool CWnd::IsIconic() const { return QtWidget(this)->isMinimized(); }

PixelRect CWnd::GetClientRect() const
{
    const QWidget* widget = QtWidget(this);
    return {0, 0, widget->width(), widget->height()};
}

void CButton::SetCheck(int check)
{
    qobject_cast<QAbstractButton*>(QtWidget(this))->setChecked(check != 0);
}

int CButton::GetCheck() const { return qobject_cast<QAbstractButton*>(QtWidget(this))->isChecked() ? 1 : 0; }

void CEdit::SetSel(int start, int end)
{
    auto* edit = qobject_cast<QLineEdit*>(QtWidget(this));
    if (start == 0 && end == -1) {
        edit->selectAll();
    } else {
        edit->setSelection(start, end - start);
    }
}

// The emphasis follows the palette: the dialog applies it again when the
// palette changes (dialog_qt.cpp).
void CStatic::SetEmphasis(Emphasis emphasis)
{
    emphasis_ = emphasis;
    QWidget* label = QtWidget(this);
    QPalette colours = label->parentWidget() != nullptr ? label->parentWidget()->palette() : label->palette();
    if (emphasis != Emphasis::None) {
        const QColor window = colours.color(QPalette::Window);
        const Colour text = EmphasisColour(emphasis, {static_cast<std::uint8_t>(window.red()),
                                                      static_cast<std::uint8_t>(window.green()),
                                                      static_cast<std::uint8_t>(window.blue())});
        colours.setColor(QPalette::WindowText, QColor(text.red, text.green, text.blue));
    }
    label->setPalette(colours);
    QFont bold = label->parentWidget() != nullptr ? label->parentWidget()->font() : label->font();
    bold.setBold(emphasis != Emphasis::None);
    label->setFont(bold);
}

CPaintDC::CPaintDC(CWnd* window) : window_(window)
{
    m_hDC = reinterpret_cast<NativePaint*>(new QPainter(QtWidget(window)));
}

CPaintDC::~CPaintDC() { delete reinterpret_cast<QPainter*>(m_hDC); }

void CPaintDC::EraseIconBackground()
{
    const QWidget* widget = QtWidget(window_);
    reinterpret_cast<QPainter*>(m_hDC)->fillRect(widget->rect(), widget->palette().window());
}

void CPaintDC::DrawIcon(int x, int y, HICON icon)
{
    const int size = GetSystemMetrics(SM_CXICON);
    reinterpret_cast<QPainter*>(m_hDC)->drawPixmap(x, y, QtIcon(icon).pixmap(size, size));
}

CMenu::~CMenu()
{
    // A popup belongs to the menu it was appended to; one never appended is
    // this handle's own.
    QMenu* menu = QtMenu(this);
    if (menu != nullptr && menu->parent() == nullptr) {
        delete menu;
    }
}

bool CMenu::CreatePopupMenu()
{
    m_hMenu = reinterpret_cast<NativeMenu*>(new QMenu);
    return true;
}

bool CMenu::AppendMenu(unsigned flags, unsigned id, const std::string& text)
{
    QMenu* menu = QtMenu(this);
    if ((flags & MF_SEPARATOR) != 0) {
        menu->addSeparator();
        return true;
    }
    QAction* item = menu->addAction(FromUtf8(text));
    item->setData(id);
    item->setEnabled((flags & MF_GRAYED) == 0);
    if ((flags & MF_CHECKED) != 0) {
        item->setCheckable(true);
        item->setChecked(true);
    }
    return true;
}

bool CMenu::AppendPopup(CMenu& popup, const std::string& text)
{
    QMenu* menu = QtMenu(this);
    QMenu* sub = QtMenu(&popup);
    sub->setParent(menu, sub->windowFlags());
    sub->setTitle(FromUtf8(text));
    menu->addMenu(sub);
    popup.owner = owner;
    QObject::connect(sub, &QMenu::aboutToShow, sub, [&popup] {
        if (auto* dialog = dynamic_cast<CDialogEx*>(popup.owner)) {
            NotifyInitMenuPopup(*dialog, popup);
        }
    });
    return true;
}

void CMenu::EnableMenuItem(unsigned item, unsigned flags)
{
    if (QAction* action = ItemOf(QtMenu(this), item, flags)) {
        action->setEnabled((flags & MF_GRAYED) == 0);
    }
}

void CMenu::CheckMenuItem(unsigned item, unsigned flags)
{
    if (QAction* action = ItemOf(QtMenu(this), item, flags)) {
        action->setCheckable(true);
        action->setChecked((flags & MF_CHECKED) != 0);
    }
}

bool CMenu::DeleteMenu(unsigned item, unsigned flags)
{
    QAction* action = ItemOf(QtMenu(this), item, flags);
    if (action == nullptr) {
        return false;
    }
    QtMenu(this)->removeAction(action);
    if (action->parent() == QtMenu(this)) {
        delete action;
    }
    return true;
}

int CMenu::GetMenuItemCount() const { return static_cast<int>(QtMenu(this)->actions().size()); }

bool CMenu::IsShown() const { return QtMenu(this)->isVisible(); }

}  // namespace lumora::ui
