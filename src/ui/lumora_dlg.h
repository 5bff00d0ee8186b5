// The operator's window: eight action buttons, four number fields and the
// connection check box, with a status line beneath them. It collects the
// values, checks them, and hands plain copies to one action per button.
//
// An action runs on a worker thread so that the window keeps painting and
// shows its progress; meanwhile the window takes no input for the actions
// (clicks and keys are dropped, never replayed), a request to close it waits
// for the action's end, and nothing but the action touches the link. When it
// ends, the status line tells what happened and the focus is back on the
// button that started it.
#pragma once

#include "actions/outcome.h"
#include "connection/modules.h"
#include "link/commands.h"
#include "ui/dialog.h"

#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace lumora {
class ModuleWatcher;
}

namespace lumora::ui {

// The id of the About item; ids 0x0010 to 0x001F all reach it.
inline constexpr unsigned AboutCommand = 0x0010;
// The id of "Project Sequence File...", which runs a sequence file.
inline constexpr unsigned SequenceFileCommand = 0x0030;
// "LED Currents...", which asks for the three currents and sets them.
inline constexpr unsigned LedCurrentsCommand = 0x0040;
// "Disconnect", which closes the module and releases its lock.
inline constexpr unsigned DisconnectCommand = 0x0050;
// The entries of the Module submenu: ModuleCommandFirst + 0x10 * i for the
// i-th attached module, kModuleEntries of them at most; the entry after them
// is a chosen module that is not attached now.
inline constexpr unsigned ModuleCommandFirst = 0x0100;
inline constexpr unsigned kModuleEntries = 16;

class CLumoraDlg : public CDialogEx {
public:
    // Puts the link into its start-up state: no device open, the HID library
    // released once.
    explicit CLumoraDlg(CWnd* parent = nullptr);
    ~CLumoraDlg() override;

    // The About box for command ids whose masked value is AboutCommand; every
    // other id goes to the default processing.
    void OnSysCommand(unsigned id) override;

    HICON appIcon;
    int usbConnected = 0;  // check box 1005
    int frequency = 10;    // Hz, edit 1010
    int picture = 12;      // edit 1011
    int pictureM = 10;     // edit 1012
    int pictureN = 20;     // edit 1013

    // Whether an action is running right now.
    bool ActionRunning() const { return running_.has_value(); }
    // The status line, and how its last outcome went.
    CStatic* StatusLine() const { return statusLine_; }
    Severity StatusSeverity() const { return statusSeverity_; }
    // The Module submenu, and the modules its entries stand for.
    CMenu* ModuleMenu() { return &moduleMenu_; }
    const std::vector<ModuleInfo>& ListedModules() const { return modules_; }
    // The last LED currents set, which the LED dialog starts from.
    const std::array<int, 3>& LedCurrents() const { return leds_; }

protected:
    void DoDataExchange(CDataExchange& dx) override;
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnOK() override;
    void OnCancel() override;
    void OnClose() override;
    void OnTimer(unsigned id) override;
    void OnInitMenuPopup(CMenu* popup) override;
    void OnDescriptorReadable(int fd) override;
    void OnPaint() override;
    HICON OnQueryDragIcon() override;

private:
    void StartAction(const Action& action, int button);
    void PollAction();
    void FinishAction();
    void ShowStatus(const std::string& text, Severity severity);
    void EnableMenu(bool enable);
    // Whether the system menu has the dialog's items (OnInitDialog adds them).
    bool MenuBuilt() const { return moduleMenu_.m_hMenu != nullptr; }

    void OnProjectFullFringes();
    void OnProjectRange();
    void OnProjectOnePicture();
    void OnProjectCross();
    void OnConnectUsb();
    void OnStart();
    void OnPause();
    void OnStop();
    void OnHelp();
    void OnProjectSequenceFile();
    void OnUsbConnectedClicked();
    void ShowConnection();
    void OnLedCurrents();
    void OnDisconnect();
    void OnModuleEntry(unsigned index);
    void RefreshModules();
    void OnModulesChanged();
    void ReleaseUnplugged(const std::string& key);

    struct MessageMapEntry {
        int id;
        void (CLumoraDlg::*handler)();
    };
    static const MessageMapEntry kMessageMap[];

    CStatic* statusLine_ = nullptr;
    CMenu moduleMenu_;
    unsigned modulePosition_ = 0;      // the Module submenu's place in it
    std::vector<ModuleInfo> modules_;   // as the Module submenu lists them
    std::array<int, 3> leds_{kLedCurrent, kLedCurrent, kLedCurrent};
    std::unique_ptr<ModuleWatcher> watcher_;
    std::vector<std::string> unpluggedMeanwhile_;  // ports that went during the running action
    Severity statusSeverity_ = Severity::Ok;

    // The running action. The worker thread writes outcome_ and then sets
    // actionDone_; the window's thread reads outcome_ only after joining it.
    std::optional<Action> running_;
    std::thread worker_;
    std::atomic<bool> actionDone_ = false;
    Outcome outcome_;
    RunRecord record_;
    std::unique_ptr<ProgressMonitor> progress_;
    int startedBy_ = IDC_STATIC;     // the control that gets the focus back
    std::vector<CWnd*> disabled_;    // the controls the action disabled
    bool cancelTakesFocus_ = true;   // Cancel's own, while an action borrows it
    enum class CloseRequest { None, Ok, Cancel };
    CloseRequest closeRequest_ = CloseRequest::None;
};

}  // namespace lumora::ui
