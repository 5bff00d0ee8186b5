#include "ui/dialog.h"

#include "ui/help.h"
#include "ui/resources.h"

#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>

namespace lumora::ui {

namespace {

QString Caption(const ControlTemplate& control) { return QString::fromUtf8(control.caption); }

QWidget* CreateControl(const ControlTemplate& control, QWidget* parent)
{
    switch (control.kind) {
    case ControlKind::DefPushButton:
    case ControlKind::PushButton: {
        auto* button = new QPushButton(Caption(control), parent);
        button->setDefault(control.kind == ControlKind::DefPushButton);
        return button;
    }
    case ControlKind::AutoCheckBox:
        return new QCheckBox(Caption(control), parent);
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(Caption(control), parent);
        edit->setFrame((control.style & kBorder) != 0);
        return edit;
    }
    case ControlKind::Label: {
        auto* label = new QLabel(parent);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // A label without a buddy shows '&' as typed, which is what no-prefix asks.
        label->setText(Caption(control));
        return label;
    }
    case ControlKind::Icon: {
        auto* label = new QLabel(parent);
        const int size = parent->style()->pixelMetric(QStyle::PM_LargeIconSize);
        label->setPixmap(LoadAppIcon().pixmap(size, size));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    }
    return nullptr;
}

}  // namespace

BaseUnits BaseUnitsOf(const QFont& font)
{
    const QFontMetrics metrics(font);
    return BaseUnitsFromMetrics(
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")),
        metrics.height());
}

CDialogEx::Hooks DefaultHooks()
{
    return {
        [](QWidget* parent, const QString& text) {
            QMessageBox::warning(parent, parent != nullptr ? parent->window()->windowTitle() : QString(), text);
        },
        [](QDialog& dialog) { return dialog.exec(); },
        [](QWidget* parent) { ShowOperatorHelp(parent); },
        [](QWidget* parent, const QString& caption, const QString& filter) {
            return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
        },
        [](QWidget* parent, const QString& question) {
            return QMessageBox::question(parent, parent != nullptr ? parent->window()->windowTitle() : QString(),
                                         question, QMessageBox::Yes | QMessageBox::No,
                                         QMessageBox::No) == QMessageBox::Yes;
        },
    };
}

CDialogEx::CDialogEx(const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent), hooks(DefaultHooks()), template_(dialogTemplate), baseUnits_(BaseUnitsOf(font())),
      systemMenu_(new QMenu(this))
{
    Qt::WindowFlags flags = (template_.style & kAppWindow) != 0 ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    setWindowFlags(flags);
    setWindowTitle(QString::fromUtf8(template_.caption));

    const PixelRect client =
        DialogUnitsToPixels({0, 0, template_.width, template_.height}, baseUnits_);
    if ((template_.style & kThickFrame) != 0) {
        resize(client.width, client.height);  // no layout: the controls keep their places
    } else {
        setFixedSize(client.width, client.height);
    }

    QAction* close = systemMenu_->addAction(QStringLiteral("&Close"));
    close->setData(SC_CLOSE);
    connect(systemMenu_, &QMenu::triggered, this, [this](QAction* action) { OnSysCommand(action->data().toUInt()); });

    CreateControls();
}

void CDialogEx::CreateControls()
{
    QWidget* previousTabStop = nullptr;
    for (const ControlTemplate& control : template_.controls) {
        QWidget* widget = CreateControl(control, this);
        const PixelRect at = DialogUnitsToPixels(control.rect, baseUnits_);
        widget->setGeometry(at.x, at.y, at.width, at.height);
        widget->setProperty("controlId", control.id);
        if ((control.style & kTabStop) != 0) {
            widget->setFocusPolicy(Qt::StrongFocus);
            if (previousTabStop != nullptr) {
                QWidget::setTabOrder(previousTabStop, widget);
            }
            previousTabStop = widget;
        } else {
            widget->setFocusPolicy(Qt::NoFocus);
        }
        if (control.id != IDC_STATIC) {
            widget->setObjectName(QStringLiteral("control%1").arg(control.id));
            byId_[control.id] = widget;
        }
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            const int id = control.id;
            connect(button, &QAbstractButton::clicked, this, [this, id] {
                if (id == IDOK) {
                    accept();
                } else if (id == IDCANCEL) {
                    reject();
                } else {
                    OnCommand(id);
                }
            });
        }
        controls_.push_back(widget);
    }
}

int CDialogEx::DoModal() { return exec(); }

QWidget* CDialogEx::GetDlgItem(int id) const
{
    const auto found = byId_.find(id);
    return found != byId_.end() ? found->second : nullptr;
}

bool CDialogEx::UpdateData(bool saveAndValidate)
{
    CDataExchange dx(this, saveAndValidate, hooks.prompt);
    DoDataExchange(dx);
    dx.SettleOutOfRange();
    return !dx.Failed();
}

void CDialogEx::DoDataExchange(CDataExchange&) {}

bool CDialogEx::OnInitDialog()
{
    UpdateData(false);
    return true;
}

void CDialogEx::setVisible(bool visible)
{
    if (visible && !initialised_) {
        initialised_ = true;
        if (OnInitDialog()) {
            for (QWidget* control : controls_) {
                if ((control->focusPolicy() & Qt::TabFocus) != 0) {
                    control->setFocus(Qt::TabFocusReason);
                    break;
                }
            }
        }
    }
    QDialog::setVisible(visible);
}

void CDialogEx::accept() { OnOK(); }

void CDialogEx::reject() { OnCancel(); }

void CDialogEx::OnCommand(int) {}

void CDialogEx::OnOK()
{
    if (UpdateData(true)) {
        EndDialog(QDialog::Accepted);
    }
}

void CDialogEx::OnCancel() { EndDialog(QDialog::Rejected); }

void CDialogEx::EndDialog(int result) { QDialog::done(result); }

void CDialogEx::OnSysCommand(unsigned id)
{
    if ((id & kSystemCommandMask) == SC_CLOSE) {
        close();  // the close event ends the dialog as Cancel does
    }
}

void CDialogEx::contextMenuEvent(QContextMenuEvent* event)
{
    QWidget* under = childAt(event->pos());
    if (under == nullptr || qobject_cast<QLabel*>(under) != nullptr) {
        systemMenu_->exec(event->globalPos());
        event->accept();
        return;
    }
    QDialog::contextMenuEvent(event);
}

}  // namespace lumora::ui
