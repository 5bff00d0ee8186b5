// The dialog on Qt 6 Widgets: a QDialog with the template's controls as
// widgets at their dialog-unit places, its events turned into the layer's
// handlers, and the hooks' message boxes and file chooser.
#include "ui/help.h"
#include "ui/qt/qt_window.h"
#include "ui/resources.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSocketNotifier>
#include <QStyle>
#include <QTimer>

#include <map>

namespace lumora::ui {

namespace {

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QString TitleOf(CWnd& parent) { return QtWidget(parent)->window()->windowTitle(); }

// A control of the template as a widget of its kind, and its handle.
std::unique_ptr<CWnd> CreateWidget(const ControlTemplate& control, QWidget* parent)
{
    const QString caption = QString::fromUtf8(control.caption);
    QWidget* widget = nullptr;
    switch (control.kind) {
    case ControlKind::DefPushButton:
    case ControlKind::PushButton: {
        auto* button = new QPushButton(caption, parent);
        button->setDefault(control.kind == ControlKind::DefPushButton);
        widget = button;
        break;
    }
    case ControlKind::AutoCheckBox:
        widget = new QCheckBox(caption, parent);
        break;
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(caption, parent);
        edit->setFrame((control.style & kBorder) != 0);
        widget = edit;
        break;
    }
    case ControlKind::Label: {
        auto* label = new QLabel(parent);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(control.rect.height > 8);  // a label of more than one line wraps its text
        // A label without a buddy shows '&' as typed, which is what no-prefix asks.
        label->setText(caption);
        widget = label;
        break;
    }
    case ControlKind::Icon: {
        auto* label = new QLabel(parent);
        const int size = parent->style()->pixelMetric(QStyle::PM_LargeIconSize);
        label->setPixmap(QtIcon(LoadAppIcon()).pixmap(size, size));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        widget = label;
        break;
    }
    }
    widget->setProperty("controlId", control.id);
    if (control.id != IDC_STATIC) {
        widget->setObjectName(QStringLiteral("control%1").arg(control.id));
    }
    std::unique_ptr<CWnd> handle = NewControlHandle(control.kind);
    handle->m_hWnd = HandleOf(widget);
    return handle;
}

}  // namespace

BaseUnits BaseUnitsOf(const QFont& font)
{
    const QFontMetrics metrics(font);
    return BaseUnitsFromMetrics(
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")),
        metrics.height());
}

struct CDialogEx::Impl : QDialog {
    Impl(CDialogEx& dialog, QWidget* parent) : QDialog(parent), owner(dialog), baseUnits(BaseUnitsOf(font())) {}

    CDialogEx& owner;
    BaseUnits baseUnits;
    bool initialised = false;
    std::map<unsigned, QTimer*> timers;
    int waitCursors = 0;
    QPaintEvent* painting = nullptr;  // the paint event that OnPaint answers

    void setVisible(bool visible) override
    {
        if (visible && !initialised) {
            initialised = true;
            if (owner.OnInitDialog()) {
                for (CWnd* control : owner.controls_) {
                    QWidget* widget = QtWidget(control);
                    if ((widget->focusPolicy() & Qt::TabFocus) != 0) {
                        widget->setFocus(Qt::TabFocusReason);
                        break;
                    }
                }
            }
        }
        QDialog::setVisible(visible);
    }

    void accept() override { owner.OnOK(); }
    void reject() override { owner.OnCancel(); }

    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();  // the dialog ends, if it does, by EndDialog
        owner.OnClose();
    }

    void paintEvent(QPaintEvent* event) override
    {
        painting = event;
        owner.OnPaint();
        painting = nullptr;
    }

    void PaintAsDialog() { QDialog::paintEvent(painting); }

    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::PaletteChange) {
            for (const std::unique_ptr<CWnd>& control : owner.owned_) {
                if (auto* text = dynamic_cast<CStatic*>(control.get())) {
                    text->SetEmphasis(text->GetEmphasis());
                }
            }
        }
        QDialog::changeEvent(event);
    }

    void contextMenuEvent(QContextMenuEvent* event) override
    {
        QWidget* under = childAt(event->pos());
        if (under == nullptr || qobject_cast<QLabel*>(under) != nullptr) {
            QtMenu(&owner.systemMenu_)->exec(event->globalPos());
            event->accept();
            return;
        }
        QDialog::contextMenuEvent(event);
    }

    static void InitMenuPopup(CDialogEx& dialog, CMenu& popup) { dialog.OnInitMenuPopup(&popup); }

    void Place(QWidget* widget, DialogUnitRect rect)
    {
        const PixelRect at = DialogUnitsToPixels(rect, baseUnits);
        widget->setGeometry(at.x, at.y, at.width, at.height);
    }
};

CDialogEx* DialogOf(QWidget* window)
{
    auto* impl = dynamic_cast<CDialogEx::Impl*>(window);
    return impl != nullptr ? &impl->owner : nullptr;
}

void NotifyInitMenuPopup(CDialogEx& dialog, CMenu& popup) { CDialogEx::Impl::InitMenuPopup(dialog, popup); }

CDialogEx::CDialogEx(const DialogTemplate& dialogTemplate, CWnd* parent)
    : hooks(DefaultHooks()), template_(dialogTemplate), parent_(parent),
      impl_(std::make_unique<Impl>(*this, QtWidget(parent)))
{
    Impl& window = *impl_;
    m_hWnd = HandleOf(&window);
    Qt::WindowFlags flags = (template_.style & kAppWindow) != 0 ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    window.setWindowFlags(flags);
    window.setWindowTitle(QString::fromUtf8(template_.caption));
    SetClientSize(template_.width, template_.height);

    auto* menu = new QMenu(&window);
    systemMenu_.m_hMenu = reinterpret_cast<NativeMenu*>(menu);
    systemMenu_.owner = this;
    systemMenu_.AppendMenu(MF_STRING, SC_CLOSE, "&Close");
    QObject::connect(menu, &QMenu::triggered, &window,
                     [this](QAction* action) { OnSysCommand(action->data().toUInt()); });

    QWidget* previousTabStop = nullptr;
    for (const ControlTemplate& control : template_.controls) {
        CWnd* handle = CreateControl(control);
        controls_.push_back(handle);
        QWidget* widget = QtWidget(handle);
        if ((control.style & kTabStop) != 0) {
            if (previousTabStop != nullptr) {
                QWidget::setTabOrder(previousTabStop, widget);
            }
            previousTabStop = widget;
        }
    }
}

CDialogEx::~CDialogEx()
{
    // The widgets and the menu go with the window; their handles after them.
    systemMenu_.m_hMenu = nullptr;
    impl_.reset();
}

CWnd* CDialogEx::CreateControl(const ControlTemplate& control)
{
    std::unique_ptr<CWnd> handle = CreateWidget(control, impl_.get());
    QWidget* widget = QtWidget(handle.get());
    impl_->Place(widget, control.rect);
    widget->setFocusPolicy((control.style & kTabStop) != 0 ? Qt::StrongFocus : Qt::NoFocus);
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        const int id = control.id;
        QObject::connect(button, &QAbstractButton::clicked, impl_.get(), [this, id] { OnCommand(id); });
    }
    widget->show();
    return Adopt(std::move(handle), control.id);
}

void CDialogEx::SetClientSize(int width, int height)
{
    const PixelRect client = MapDialogRect({0, 0, width, height});
    if ((template_.style & kThickFrame) != 0) {
        impl_->setMinimumSize(0, 0);
        impl_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        impl_->resize(client.width, client.height);  // no layout: the controls keep their places
    } else {
        impl_->setFixedSize(client.width, client.height);
    }
}

PixelRect CDialogEx::MapDialogRect(DialogUnitRect rect) const { return DialogUnitsToPixels(rect, impl_->baseUnits); }

int CDialogEx::DoModal() { return impl_->exec(); }

void CDialogEx::EndDialog(int result) { impl_->done(result); }

CWnd* CDialogEx::GetFocusedControl() const
{
    QWidget* focused = QApplication::focusWidget();
    for (const std::unique_ptr<CWnd>& control : owned_) {
        if (QtWidget(control.get()) == focused) {
            return control.get();
        }
    }
    return nullptr;
}

void CDialogEx::SetTimer(unsigned id, unsigned milliseconds)
{
    QTimer*& timer = impl_->timers[id];
    if (timer == nullptr) {
        timer = new QTimer(impl_.get());
        QObject::connect(timer, &QTimer::timeout, impl_.get(), [this, id] { OnTimer(id); });
    }
    timer->start(static_cast<int>(milliseconds));
}

void CDialogEx::KillTimer(unsigned id)
{
    if (const auto found = impl_->timers.find(id); found != impl_->timers.end()) {
        found->second->stop();
    }
}

void CDialogEx::BeginWaitCursor()
{
    ++impl_->waitCursors;
    QApplication::setOverrideCursor(Qt::BusyCursor);
}

void CDialogEx::EndWaitCursor()
{
    if (impl_->waitCursors > 0) {
        --impl_->waitCursors;
        QApplication::restoreOverrideCursor();
    }
}

bool CDialogEx::WatchDescriptor(int fd)
{
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, impl_.get());
    QObject::connect(notifier, &QSocketNotifier::activated, impl_.get(), [this, fd] { OnDescriptorReadable(fd); });
    return true;
}

void CDialogEx::OnPaint() { impl_->PaintAsDialog(); }

CDialogEx::Hooks DefaultHooks()
{
    return {
        [](CWnd& parent, const std::string& text) {
            QMessageBox::warning(QtWidget(parent), TitleOf(parent), FromUtf8(text));
        },
        [](CDialogEx& dialog) { return dialog.DoModal(); },
        [](CWnd& parent) { ShowOperatorHelp(parent); },
        [](CWnd& parent, const std::string& caption, const FileFilter& filter) {
            const QString path = QFileDialog::getOpenFileName(
                QtWidget(parent), FromUtf8(caption), QString(),
                FromUtf8(filter.name) + QStringLiteral(" (") + FromUtf8(filter.pattern) + QLatin1Char(')'));
            return QFile::encodeName(path).toStdString();
        },
        [](CWnd& parent, const std::string& question) {
            return QMessageBox::question(QtWidget(parent), TitleOf(parent), FromUtf8(question),
                                         QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
        },
    };
}

void ShowOperatorHelp(CWnd& parent)
{
    QMessageBox::information(QtWidget(parent), QStringLiteral("Lumora Help"), FromUtf8(OperatorHelpText()));
}

HICON LoadAppIcon()
{
    static const QIcon icon = [] {
        QIcon loaded;
        for (const int size : {16, 24, 32, 48, 256}) {
            loaded.addFile(QStringLiteral(":/lumora/lumora-%1.png").arg(size), QSize(size, size));
        }
        return loaded;
    }();
    return reinterpret_cast<HICON>(const_cast<QIcon*>(&icon));
}

}  // namespace lumora::ui
