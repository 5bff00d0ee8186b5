#include "ui/lumora_dlg.h"

#include "actions/action.h"
#include "actions/module_listing.h"
#include "connection/connection.h"
#include "connection/module_watcher.h"
#include "link/link.h"
#include "link/printable.h"
#include "patterns/presets.h"
#include "ui/about_dlg.h"
#include "ui/led_dlg.h"
#include "ui/resources.h"

#include <QAction>
#include <QCloseEvent>
#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QSocketNotifier>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <utility>

namespace lumora::ui {

namespace {

// How often the status line shows the progress of a running action; the
// window repaints at least this often.
constexpr std::chrono::milliseconds kProgressInterval{50};

// A text of the core as a sentence of its own: capital first, full stop.
QString Sentence(const std::string& text)
{
    QString sentence = QString::fromStdString(text);
    if (!sentence.isEmpty()) {
        sentence[0] = sentence[0].toUpper();
    }
    return sentence + QLatin1Char('.');
}

// Text colours for a failure and a warning that stand out on the palette's
// window colour, light or dark, and keep a contrast of at least 4.5 : 1.
QColor MarkColor(Severity severity, const QColor& window)
{
    const bool dark = window.lightness() < 128;
    if (severity == Severity::Failure) {
        return dark ? QColor(0xFF, 0x8A, 0x80) : QColor(0xA8, 0x00, 0x1C);
    }
    return dark ? QColor(0xFF, 0xD1, 0x80) : QColor(0x7A, 0x43, 0x00);
}

// A module as the dialog names it: by its port, or by its node where it has
// none (the same key the watcher uses).
std::string KeyOf(const std::string& port, const std::string& path) { return port.empty() ? path : port; }

// The choice of this module, as the Module submenu makes it.
ModuleChoice EntryChoice(const ModuleInfo& module)
{
    return {module.port.empty() ? ModuleChoice::By::Path : ModuleChoice::By::Port, KeyOf(module.port, module.path)};
}

}  // namespace

int IconOrigin(int clientExtent, int iconExtent) { return (clientExtent - iconExtent + 1) / 2; }

// Button clicks, in the order the dialog handles them. A click on the check
// box changes nothing: it shows whether a module is open.
const CLumoraDlg::MessageMapEntry CLumoraDlg::kMessageMap[] = {
    {IDC_PROJECT_FULL_FRINGES, &CLumoraDlg::OnProjectFullFringes},
    {IDC_CONNECT_USB, &CLumoraDlg::OnConnectUsb},
    {IDC_USB_CONNECTED, &CLumoraDlg::OnUsbConnectedClicked},
    {IDC_START, &CLumoraDlg::OnStart},
    {IDC_PAUSE, &CLumoraDlg::OnPause},
    {IDC_STOP, &CLumoraDlg::OnStop},
    {IDC_PROJECT_RANGE, &CLumoraDlg::OnProjectRange},
    {IDC_PROJECT_ONE_PICTURE, &CLumoraDlg::OnProjectOnePicture},
    {IDC_PROJECT_CROSS, &CLumoraDlg::OnProjectCross},
    {ID_HELP, &CLumoraDlg::OnHelp},
};

CLumoraDlg::CLumoraDlg(QWidget* parent)
    : CDialogEx(kMainDialogTemplate, parent), appIcon(LoadAppIcon()), statusLine_(new QLabel(this)),
      progressTimer_(new QTimer(this))
{
    // The status line sits beneath the template's controls; the window grows
    // by just its height.
    const PixelRect at = DialogUnitsToPixels(kStatusLineRect, DialogBaseUnits());
    statusLine_->setGeometry(at.x, at.y, at.width, at.height);
    statusLine_->setObjectName(QStringLiteral("statusLine"));
    statusLine_->setTextFormat(Qt::PlainText);
    statusLine_->setFocusPolicy(Qt::NoFocus);
    statusLine_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    statusLine_->setWordWrap(true);  // the whole outcome shows, on a second line where it is long
    const PixelRect client =
        DialogUnitsToPixels({0, 0, kMainDialogTemplate.width, kMainDialogHeightWithStatus}, DialogBaseUnits());
    resize(client.width, client.height);

    progressTimer_->setInterval(kProgressInterval);
    connect(progressTimer_, &QTimer::timeout, this, &CLumoraDlg::PollAction);
    EnterStartupState();

    // Modules coming and going, from the system's device events. Without
    // them (no udev), the dialog learns of an unplug at the next action.
    watcher_ = std::make_unique<ModuleWatcher>();
    if (watcher_->Start()) {
        auto* notifier = new QSocketNotifier(watcher_->Fd(), QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &CLumoraDlg::OnModulesChanged);
    } else {
        watcher_.reset();
    }
}

CLumoraDlg::~CLumoraDlg()
{
    // A window destroyed during an action waits for it: the worker uses the
    // window's members until its end.
    if (worker_.joinable()) {
        worker_.join();
        QApplication::restoreOverrideCursor();
    }
}

void CLumoraDlg::DoDataExchange(CDataExchange& dx)
{
    DDX_Check(dx, qobject_cast<QCheckBox*>(GetDlgItem(IDC_USB_CONNECTED)), usbConnected);
    DDX_Text(dx, qobject_cast<QLineEdit*>(GetDlgItem(IDC_FREQUENCY)), frequency);
    DDV_MinMaxInt(dx, frequency, kFrequencyRule.low, kFrequencyRule.high);
    DDX_Text(dx, qobject_cast<QLineEdit*>(GetDlgItem(IDC_PICTURE)), picture);
    DDV_MinMaxInt(dx, picture, kPictureRule.low, kPictureRule.high);
    DDX_Text(dx, qobject_cast<QLineEdit*>(GetDlgItem(IDC_PICTURE_M)), pictureM);
    DDV_MinMaxInt(dx, pictureM, kFirstRule.low, kFirstRule.high);
    DDX_Text(dx, qobject_cast<QLineEdit*>(GetDlgItem(IDC_PICTURE_N)), pictureN);
    DDV_MinMaxInt(dx, pictureN, kLastRule.low, kLastRule.high);
}

bool CLumoraDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();

    const QString aboutText = QString::fromUtf8(LoadResourceString(IDS_ABOUTBOX));
    if (QMenu* menu = GetSystemMenu(); menu != nullptr) {
        QAction* sequenceFile = menu->addAction(QStringLiteral("Project Sequence File..."));
        sequenceFile->setData(SequenceFileCommand);
        QAction* leds = menu->addAction(QStringLiteral("LED Currents..."));
        leds->setData(LedCurrentsCommand);
        menu->addSeparator();
        moduleMenu_ = menu->addMenu(QStringLiteral("Module"));
        connect(moduleMenu_, &QMenu::aboutToShow, this, &CLumoraDlg::RefreshModules);
        QAction* disconnect = menu->addAction(QStringLiteral("Disconnect"));
        disconnect->setData(DisconnectCommand);
        menuActions_ = {sequenceFile, leds, moduleMenu_->menuAction(), disconnect};
        if (!aboutText.isEmpty()) {
            menu->addSeparator();
            menu->addAction(aboutText)->setData(AboutCommand);
        }
    }
    setWindowIcon(appIcon);
    return true;
}

void CLumoraDlg::OnCommand(int id)
{
    for (const MessageMapEntry& entry : kMessageMap) {
        if (entry.id == id) {
            if (entry.handler != nullptr) {
                (this->*entry.handler)();
            }
            return;
        }
    }
    CDialogEx::OnCommand(id);
}

void CLumoraDlg::OnSysCommand(unsigned id)
{
    if ((id & kSystemCommandMask) == AboutCommand) {
        CAboutDlg about(this);
        hooks.runModal(about);
        return;
    }
    if ((id & kSystemCommandMask) == SequenceFileCommand) {
        OnProjectSequenceFile();
        return;
    }
    if ((id & kSystemCommandMask) == LedCurrentsCommand) {
        OnLedCurrents();
        return;
    }
    if ((id & kSystemCommandMask) == DisconnectCommand) {
        OnDisconnect();
        return;
    }
    const unsigned command = id & kSystemCommandMask;
    if (command >= ModuleCommandFirst && command <= ModuleCommandFirst + 0x10 * kModuleEntries) {
        OnModuleEntry((command - ModuleCommandFirst) / 0x10);
        return;
    }
    CDialogEx::OnSysCommand(id);
}

// During an action, Cancel and Escape cancel it and the window stays open;
// OK and the close requests take effect when it ends.
void CLumoraDlg::OnOK()
{
    if (ActionRunning()) {
        closeRequest_ = CloseRequest::Ok;
        return;
    }
    CDialogEx::OnOK();
}

void CLumoraDlg::OnCancel()
{
    if (ActionRunning()) {
        RequestCancel();  // the action stops before its next command, or within a read slice
        return;
    }
    CDialogEx::OnCancel();
}

void CLumoraDlg::closeEvent(QCloseEvent* event)
{
    if (ActionRunning()) {
        closeRequest_ = CloseRequest::Cancel;
        event->ignore();
        return;
    }
    CDialogEx::closeEvent(event);
}

void CLumoraDlg::paintEvent(QPaintEvent* event)
{
    if (!isMinimized()) {
        CDialogEx::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const int size = style()->pixelMetric(QStyle::PM_LargeIconSize);
    painter.drawPixmap(IconOrigin(width(), size), IconOrigin(height(), size), appIcon.pixmap(size, size));
}

void CLumoraDlg::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange) {
        StyleStatus();
    }
    CDialogEx::changeEvent(event);
}

void CLumoraDlg::StartAction(const Action& action, int button)
{
    running_ = action;
    startedBy_ = button != IDC_STATIC ? GetDlgItem(button) : QApplication::focusWidget();
    closeRequest_ = CloseRequest::None;
    // Input for the actions is dropped while one runs: every control of the
    // template but Cancel is disabled, so clicks and keys reach none of them.
    disabled_.clear();
    QWidget* const cancel = GetDlgItem(IDCANCEL);
    for (QWidget* control : Controls()) {
        if (control->isEnabled() && control != cancel) {
            disabled_.emplace_back(control);
            control->setEnabled(false);
        }
    }
    for (QAction* item : menuActions_) {
        item->setEnabled(false);
    }
    // Cancel stays clickable, but takes no focus meanwhile, so that Enter or
    // Space meant for the disabled button cancels nothing.
    cancelFocus_ = cancel != nullptr ? cancel->focusPolicy() : Qt::NoFocus;
    if (cancel != nullptr) {
        cancel->setFocusPolicy(Qt::NoFocus);
        if (QApplication::focusWidget() == cancel || QApplication::focusWidget() == nullptr) {
            setFocus(Qt::OtherFocusReason);
        }
    }
    QApplication::setOverrideCursor(Qt::BusyCursor);
    progress_ = std::make_unique<ProgressMonitor>(action);
    ShowStatus(QString::fromStdString(progress_->Text(std::chrono::steady_clock::now())), Severity::Ok);

    actionDone_.store(false, std::memory_order_relaxed);
    ClearCancel();
    worker_ = std::thread([this, action] {
        const ActionRecord record = RunAction(action);
        outcome_ = ConcludeAction(action, record, Audience::Dialog);
        record_ = record.run;
        actionDone_.store(true, std::memory_order_release);
    });
    progressTimer_->start();
}

void CLumoraDlg::PollAction()
{
    if (actionDone_.load(std::memory_order_acquire)) {
        FinishAction();
        return;
    }
    ShowStatus(QString::fromStdString(progress_->Text(std::chrono::steady_clock::now())), Severity::Ok);
}

void CLumoraDlg::FinishAction()
{
    progressTimer_->stop();
    worker_.join();
    const Action finished = *running_;
    running_.reset();
    progress_.reset();
    QApplication::restoreOverrideCursor();
    for (const QPointer<QWidget>& control : disabled_) {
        if (control != nullptr) {
            control->setEnabled(true);
        }
    }
    disabled_.clear();
    for (QAction* item : menuActions_) {
        item->setEnabled(true);
    }
    if (QWidget* cancel = GetDlgItem(IDCANCEL); cancel != nullptr) {
        cancel->setFocusPolicy(cancelFocus_);
    }

    ShowStatus(QString::fromStdString(outcome_.text), outcome_.severity);
    ShowConnection();
    if (startedBy_ != nullptr) {
        startedBy_->setFocus(Qt::OtherFocusReason);
    }
    // The open module went while the action ran: once it is over, it is
    // closed as when it goes between actions.
    for (const std::string& key : std::exchange(unpluggedMeanwhile_, {})) {
        ReleaseUnplugged(key);
    }

    const CloseRequest request = std::exchange(closeRequest_, CloseRequest::None);
    if (request == CloseRequest::Ok) {
        OnOK();
    } else if (request == CloseRequest::Cancel) {
        OnCancel();
    } else if (OffersStartAnyway(finished, record_) && hooks.ask &&
               hooks.ask(this, QString::fromStdString(StartAnywayQuestion(record_)))) {
        Action again = finished;
        again.startAnyway = true;
        StartAction(again, IDC_STATIC);
    }
}

void CLumoraDlg::ShowStatus(const QString& text, Severity severity)
{
    statusSeverity_ = severity;
    const QString mark = severity == Severity::Failure   ? QStringLiteral("\u2716 ")
                         : severity == Severity::Warning ? QStringLiteral("\u26A0 ")
                                                         : QString();
    statusLine_->setText(mark + text);
    statusLine_->setToolTip(text);
    StyleStatus();
}

void CLumoraDlg::StyleStatus()
{
    QPalette colours = palette();
    if (statusSeverity_ != Severity::Ok) {
        colours.setColor(QPalette::WindowText, MarkColor(statusSeverity_, colours.color(QPalette::Window)));
    }
    statusLine_->setPalette(colours);
    QFont bold = font();
    bold.setBold(statusSeverity_ != Severity::Ok);
    statusLine_->setFont(bold);
}

void CLumoraDlg::OnProjectFullFringes()
{
    if (!UpdateData(true)) {
        return;
    }
    StartAction({.kind = ActionKind::FullFringes, .frequency = frequency}, IDC_PROJECT_FULL_FRINGES);
}

void CLumoraDlg::OnProjectRange()
{
    if (!UpdateData(true)) {
        return;
    }
    const Action range{.kind = ActionKind::Range, .frequency = frequency, .first = pictureM, .last = pictureN};
    if (BrokenRule(range).rangeOrder) {
        PromptAndFocus(hooks.prompt, this, GetDlgItem(IDC_PICTURE_M), Sentence(RangeOrderProblem()));
        return;
    }
    StartAction(range, IDC_PROJECT_RANGE);
}

void CLumoraDlg::OnProjectOnePicture()
{
    if (!UpdateData(true)) {
        return;
    }
    StartAction({.kind = ActionKind::OnePicture, .frequency = frequency, .first = picture},
                IDC_PROJECT_ONE_PICTURE);
}

void CLumoraDlg::OnProjectCross() { StartAction({.kind = ActionKind::Cross}, IDC_PROJECT_CROSS); }

void CLumoraDlg::OnConnectUsb() { StartAction({.kind = ActionKind::Connect}, IDC_CONNECT_USB); }

void CLumoraDlg::OnStart() { StartAction({.kind = ActionKind::StartVideoMode}, IDC_START); }

void CLumoraDlg::OnPause() { StartAction({.kind = ActionKind::Pause}, IDC_PAUSE); }

void CLumoraDlg::OnStop() { StartAction({.kind = ActionKind::Stop}, IDC_STOP); }

// Asks for a sequence file and checks it whole; a file with errors is shown
// with their lines and columns and sends nothing.
void CLumoraDlg::OnProjectSequenceFile()
{
    if (ActionRunning() || !hooks.chooseFile) {
        return;
    }
    const QString path =
        hooks.chooseFile(this, QStringLiteral("Project Sequence File"), QStringLiteral("Sequence files (*.toml)"));
    if (path.isEmpty()) {
        return;
    }
    const SequenceRequest request =
        ReadSequenceAction(QFile::encodeName(path).toStdString(), QFileInfo(path).fileName().toStdString());
    if (!request.errors.empty()) {
        QStringList lines;
        for (const std::string& line : request.errorLines) {
            lines << QString::fromStdString(line);
        }
        hooks.prompt(this, QStringLiteral("The sequence file has errors; nothing was sent.\n\n") + lines.join('\n'));
        return;
    }
    StartAction(request.action, IDC_STATIC);
}

// The tick follows the link after every action: a link failure clears it, a
// START that opened the module sets it.
void CLumoraDlg::ShowConnection()
{
    usbConnected = deviceConnected != 0 ? 1 : 0;
    qobject_cast<QCheckBox*>(GetDlgItem(IDC_USB_CONNECTED))->setChecked(usbConnected != 0);
}

void CLumoraDlg::OnUsbConnectedClicked()
{
    qobject_cast<QCheckBox*>(GetDlgItem(IDC_USB_CONNECTED))->setChecked(usbConnected != 0);
}

void CLumoraDlg::OnLedCurrents()
{
    if (ActionRunning()) {
        return;
    }
    CLedCurrentsDlg leds(this);
    leds.hooks = hooks;
    leds.red = leds_[0];
    leds.green = leds_[1];
    leds.blue = leds_[2];
    if (hooks.runModal(leds) != QDialog::Accepted) {
        return;
    }
    leds_ = {leds.red, leds.green, leds.blue};
    StartAction({.kind = ActionKind::Leds, .leds = leds_}, IDC_STATIC);
}

void CLumoraDlg::OnDisconnect()
{
    if (ActionRunning()) {
        return;
    }
    const OpenModule closed = deviceConnected != 0 ? OpenedModule() : OpenModule{};
    ReleaseDevice();
    const Outcome outcome = Disconnected(closed);
    ShowStatus(QString::fromStdString(outcome.text), outcome.severity);
    ShowConnection();
}

// A click on an entry checks it, and the open actions take that module from
// now on; a click on the checked entry clears it, back to the first found.
void CLumoraDlg::OnModuleEntry(unsigned index)
{
    if (ActionRunning()) {
        return;
    }
    const ModuleChoice& chosen = SelectedModule();
    const bool clears = index >= modules_.size() || EntryChoice(modules_[index]).value == chosen.value;
    SelectModule(clears ? ModuleChoice{} : EntryChoice(modules_[index]));
    const Outcome outcome = ModuleChosen(SelectedModule().value);
    ShowStatus(QString::fromStdString(outcome.text), outcome.severity);
}

// Lists the modules into the Module submenu as it opens: port, serial and
// whether it is free, held, or open here. A chosen module that is not attached stays
// listed, checked, so that ConnectUSB never falls back to another one
// unseen. Calls the HID library, so never while an action runs.
void CLumoraDlg::RefreshModules()
{
    if (moduleMenu_ == nullptr || ActionRunning()) {
        return;
    }
    modules_ = ListModules();
    if (modules_.size() > kModuleEntries) {
        modules_.resize(kModuleEntries);
    }
    moduleMenu_->clear();
    const std::string open = deviceConnected != 0 ? OpenedModule().path : std::string();
    const std::string& chosen = SelectedModule().value;
    bool chosenListed = chosen.empty();
    for (std::size_t i = 0; i < modules_.size(); ++i) {
        const ModuleInfo& module = modules_[i];
        const std::string key = EntryChoice(module).value;
        const std::string state = !open.empty() && module.path == open ? "open here" : ModuleState(module);
        std::string text = Printable(key);
        if (!module.serial.empty()) {
            text += "   " + Printable(module.serial);
        }
        text += "   (" + state + ")";
        QAction* entry = moduleMenu_->addAction(QString::fromStdString(text));
        entry->setData(ModuleCommandFirst + 0x10 * static_cast<unsigned>(i));
        entry->setCheckable(true);
        entry->setChecked(key == chosen);
        chosenListed = chosenListed || key == chosen;
    }
    if (!chosenListed) {
        QAction* entry = moduleMenu_->addAction(QString::fromStdString(Printable(chosen) + "   (not attached)"));
        entry->setData(ModuleCommandFirst + 0x10 * kModuleEntries);
        entry->setCheckable(true);
        entry->setChecked(true);
    }
    if (moduleMenu_->isEmpty()) {
        moduleMenu_->addAction(QStringLiteral("No module attached"))->setEnabled(false);
    }
}

// Modules came or went. When the open one goes, it is closed and its lock
// released at once (after the running action, if one runs); nothing opens
// by itself.
void CLumoraDlg::OnModulesChanged()
{
    for (const ModuleChange& change : watcher_->Changes()) {
        if (change.kind != ModuleChange::Kind::Unplugged) {
            continue;
        }
        if (ActionRunning()) {
            unpluggedMeanwhile_.push_back(change.port);
        } else {
            ReleaseUnplugged(change.port);
        }
    }
    if (moduleMenu_ != nullptr && moduleMenu_->isVisible()) {
        RefreshModules();  // the open menu follows; a closed one is listed afresh when it opens
    }
}

void CLumoraDlg::ReleaseUnplugged(const std::string& key)
{
    if (deviceConnected == 0) {
        return;
    }
    const OpenModule& open = OpenedModule();
    if (key != KeyOf(open.port, open.path)) {
        return;
    }
    ReleaseDevice();
    const Outcome outcome = ModuleUnplugged(key);
    ShowStatus(QString::fromStdString(outcome.text), outcome.severity);
    ShowConnection();
}

void CLumoraDlg::OnHelp()
{
    if (hooks.help) {
        hooks.help(this);
    }
}

}  // namespace lumora::ui
