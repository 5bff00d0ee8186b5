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

#include <algorithm>
#include <chrono>
#include <utility>

namespace lumora::ui {

namespace {

// How often the status line shows the progress of a running action; the
// window repaints at least this often.
constexpr unsigned kProgressMilliseconds = 50;
constexpr unsigned kProgressTimer = 1;

// The status line: beneath the template's controls, no part of its tab order,
// two lines high so that a long outcome wraps.
constexpr ControlTemplate kStatusLine = {IDC_STATUS_LINE, ControlKind::Label, "", kStatusLineRect, kNoPrefix};

// A text of the core as a sentence of its own: capital first, full stop.
std::string Sentence(std::string text)
{
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') {
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    }
    return text + '.';
}

// The file's name without its folders, as the status line names it.
std::string FileNameOf(const std::string& path)
{
#ifdef _WIN32
    const std::size_t slash = path.find_last_of("/\\");
#else
    const std::size_t slash = path.find_last_of('/');
#endif
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

Emphasis EmphasisOf(Severity severity)
{
    return severity == Severity::Failure   ? Emphasis::Failure
           : severity == Severity::Warning ? Emphasis::Warning
                                           : Emphasis::None;
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

CLumoraDlg::CLumoraDlg(CWnd* parent) : CDialogEx(kMainDialogTemplate, parent), appIcon(LoadAppIcon())
{
    // The status line sits beneath the template's controls; the window grows
    // by just its height.
    statusLine_ = static_cast<CStatic*>(CreateControl(kStatusLine));
    SetClientSize(kMainDialogTemplate.width, kMainDialogHeightWithStatus);
    EnterStartupState();

    // Modules coming and going, from the system's device events. Without
    // them (no udev), the dialog learns of an unplug at the next action.
    watcher_ = std::make_unique<ModuleWatcher>();
    if (!watcher_->Start() || !WatchDescriptor(watcher_->Fd())) {
        watcher_.reset();
    }
}

CLumoraDlg::~CLumoraDlg()
{
    // A window destroyed during an action waits for it: the worker uses the
    // window's members until its end.
    if (worker_.joinable()) {
        worker_.join();
        EndWaitCursor();
    }
}

void CLumoraDlg::DoDataExchange(CDataExchange& dx)
{
    DDX_Check(dx, IDC_USB_CONNECTED, usbConnected);
    DDX_Text(dx, IDC_FREQUENCY, frequency);
    DDV_MinMaxInt(dx, frequency, kFrequencyRule.low, kFrequencyRule.high);
    DDX_Text(dx, IDC_PICTURE, picture);
    DDV_MinMaxInt(dx, picture, kPictureRule.low, kPictureRule.high);
    DDX_Text(dx, IDC_PICTURE_M, pictureM);
    DDV_MinMaxInt(dx, pictureM, kFirstRule.low, kFirstRule.high);
    DDX_Text(dx, IDC_PICTURE_N, pictureN);
    DDV_MinMaxInt(dx, pictureN, kLastRule.low, kLastRule.high);
}

bool CLumoraDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();

    const std::string aboutText = LoadResourceString(IDS_ABOUTBOX);
    if (!MenuBuilt()) {
        CMenu* menu = GetSystemMenu();
        menu->AppendMenu(MF_STRING, SequenceFileCommand, "Project Sequence File...");
        menu->AppendMenu(MF_STRING, LedCurrentsCommand, "LED Currents...");
        menu->AppendMenu(MF_SEPARATOR);
        moduleMenu_.CreatePopupMenu();
        modulePosition_ = static_cast<unsigned>(menu->GetMenuItemCount());
        menu->AppendPopup(moduleMenu_, "Module");
        menu->AppendMenu(MF_STRING, DisconnectCommand, "Disconnect");
        if (!aboutText.empty()) {
            menu->AppendMenu(MF_SEPARATOR);
            menu->AppendMenu(MF_STRING, AboutCommand, aboutText);
        }
    }
    SetIcon(appIcon, true);
    SetIcon(appIcon, false);
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

void CLumoraDlg::OnClose()
{
    if (ActionRunning()) {
        closeRequest_ = CloseRequest::Cancel;
        return;
    }
    CDialogEx::OnClose();
}

void CLumoraDlg::OnTimer(unsigned id)
{
    if (id == kProgressTimer) {
        PollAction();
    }
}

void CLumoraDlg::OnInitMenuPopup(CMenu* popup)
{
    if (popup == &moduleMenu_) {
        RefreshModules();
    }
}

void CLumoraDlg::OnDescriptorReadable(int) { OnModulesChanged(); }

// The minimised window shows the icon centred in its client area.
void CLumoraDlg::OnPaint()
{
    if (!IsIconic()) {
        CDialogEx::OnPaint();
        return;
    }
    CPaintDC dc(this);
    dc.EraseIconBackground();
    const PixelRect client = GetClientRect();
    dc.DrawIcon(IconOrigin(client.width, GetSystemMetrics(SM_CXICON)),
                IconOrigin(client.height, GetSystemMetrics(SM_CYICON)), appIcon);
}

HICON CLumoraDlg::OnQueryDragIcon() { return appIcon; }

// The dialog's own items of the system menu: off while an action runs.
void CLumoraDlg::EnableMenu(bool enable)
{
    if (!MenuBuilt()) {
        return;
    }
    CMenu* menu = GetSystemMenu();
    const unsigned state = enable ? MF_ENABLED : MF_GRAYED;
    for (const unsigned command : {SequenceFileCommand, LedCurrentsCommand, DisconnectCommand}) {
        menu->EnableMenuItem(command, MF_BYCOMMAND | state);
    }
    menu->EnableMenuItem(modulePosition_, MF_BYPOSITION | state);
}

void CLumoraDlg::StartAction(const Action& action, int button)
{
    running_ = action;
    CWnd* const focused = GetFocusedControl();
    startedBy_ = button != IDC_STATIC ? button : focused != nullptr ? focused->GetDlgCtrlID() : IDC_STATIC;
    closeRequest_ = CloseRequest::None;
    // Input for the actions is dropped while one runs: every control of the
    // template but Cancel is disabled, so clicks and keys reach none of them.
    disabled_.clear();
    CWnd* const cancel = GetDlgItem(IDCANCEL);
    for (CWnd* control : Controls()) {
        if (control->IsWindowEnabled() && control != cancel) {
            disabled_.push_back(control);
            control->EnableWindow(false);
        }
    }
    EnableMenu(false);
    // Cancel stays clickable, but takes no focus meanwhile, so that Enter or
    // Space meant for the disabled button cancels nothing.
    if (cancel != nullptr) {
        cancelTakesFocus_ = cancel->TakesFocus();
        cancel->SetTakesFocus(false);
        if (CWnd* now = GetFocusedControl(); now == cancel || now == nullptr) {
            SetFocus();
        }
    }
    BeginWaitCursor();
    progress_ = std::make_unique<ProgressMonitor>(action);
    ShowStatus(progress_->Text(std::chrono::steady_clock::now()), Severity::Ok);

    actionDone_.store(false, std::memory_order_relaxed);
    ClearCancel();
    worker_ = std::thread([this, action] {
        const ActionRecord record = RunAction(action);
        outcome_ = ConcludeAction(action, record, Audience::Dialog);
        record_ = record.run;
        actionDone_.store(true, std::memory_order_release);
    });
    SetTimer(kProgressTimer, kProgressMilliseconds);
}

void CLumoraDlg::PollAction()
{
    if (actionDone_.load(std::memory_order_acquire)) {
        FinishAction();
        return;
    }
    ShowStatus(progress_->Text(std::chrono::steady_clock::now()), Severity::Ok);
}

void CLumoraDlg::FinishAction()
{
    KillTimer(kProgressTimer);
    worker_.join();
    const Action finished = *running_;
    running_.reset();
    progress_.reset();
    EndWaitCursor();
    for (CWnd* control : disabled_) {
        control->EnableWindow(true);
    }
    disabled_.clear();
    EnableMenu(true);
    if (CWnd* cancel = GetDlgItem(IDCANCEL); cancel != nullptr) {
        cancel->SetTakesFocus(cancelTakesFocus_);
    }

    ShowStatus(outcome_.text, outcome_.severity);
    ShowConnection();
    if (CWnd* startedBy = GetDlgItem(startedBy_); startedBy != nullptr) {
        startedBy->SetFocus();
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
    } else if (OffersStartAnyway(finished, record_) && hooks.ask && hooks.ask(*this, StartAnywayQuestion(record_))) {
        Action again = finished;
        again.startAnyway = true;
        StartAction(again, IDC_STATIC);
    }
}

void CLumoraDlg::ShowStatus(const std::string& text, Severity severity)
{
    statusSeverity_ = severity;
    const char* const mark = severity == Severity::Failure   ? "\u2716 "
                             : severity == Severity::Warning ? "\u26A0 "
                                                             : "";
    statusLine_->SetWindowText(mark + text);
    statusLine_->SetToolTip(text);
    statusLine_->SetEmphasis(EmphasisOf(severity));
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
        PromptAndFocus(hooks.prompt, *this, GetDlgItem(IDC_PICTURE_M), Sentence(RangeOrderProblem()));
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
    const std::string path = hooks.chooseFile(*this, "Project Sequence File", {"Sequence files", "*.toml"});
    if (path.empty()) {
        return;
    }
    const SequenceRequest request = ReadSequenceAction(path, FileNameOf(path));
    if (!request.errors.empty()) {
        std::string lines = "The sequence file has errors; nothing was sent.\n";
        for (const std::string& line : request.errorLines) {
            lines += "\n" + line;
        }
        hooks.prompt(*this, lines);
        return;
    }
    StartAction(request.action, IDC_STATIC);
}

// The tick follows the link after every action: a link failure clears it, a
// START that opened the module sets it.
void CLumoraDlg::ShowConnection()
{
    usbConnected = deviceConnected != 0 ? 1 : 0;
    static_cast<CButton*>(GetDlgItem(IDC_USB_CONNECTED))->SetCheck(usbConnected);
}

void CLumoraDlg::OnUsbConnectedClicked()
{
    static_cast<CButton*>(GetDlgItem(IDC_USB_CONNECTED))->SetCheck(usbConnected);
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
    if (hooks.runModal(leds) != IDOK) {
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
    ShowStatus(outcome.text, outcome.severity);
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
    ShowStatus(outcome.text, outcome.severity);
}

// Lists the modules into the Module submenu as it opens: port, serial and
// whether it is free, held, or open here. A chosen module that is not attached stays
// listed, checked, so that ConnectUSB never falls back to another one
// unseen. Calls the HID library, so never while an action runs.
void CLumoraDlg::RefreshModules()
{
    if (!MenuBuilt() || ActionRunning()) {
        return;
    }
    modules_ = ListModules();
    if (modules_.size() > kModuleEntries) {
        modules_.resize(kModuleEntries);
    }
    while (moduleMenu_.GetMenuItemCount() > 0) {
        moduleMenu_.DeleteMenu(0, MF_BYPOSITION);
    }
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
        moduleMenu_.AppendMenu(MF_STRING | (key == chosen ? MF_CHECKED : MF_UNCHECKED),
                               ModuleCommandFirst + 0x10 * static_cast<unsigned>(i), text);
        chosenListed = chosenListed || key == chosen;
    }
    if (!chosenListed) {
        moduleMenu_.AppendMenu(MF_STRING | MF_CHECKED, ModuleCommandFirst + 0x10 * kModuleEntries,
                               Printable(chosen) + "   (not attached)");
    }
    if (moduleMenu_.GetMenuItemCount() == 0) {
        moduleMenu_.AppendMenu(MF_STRING | MF_GRAYED, 0, "No module attached");
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
    if (MenuBuilt() && moduleMenu_.IsShown()) {
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
    ShowStatus(outcome.text, outcome.severity);
    ShowConnection();
}

void CLumoraDlg::OnHelp()
{
    if (hooks.help) {
        hooks.help(*this);
    }
}

}  // namespace lumora::ui
