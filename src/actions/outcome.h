// What happened, in one place: after an action, its record (each packet's
// fate, the look-up-table verdict, whether the sequence was started, why an
// open failed) becomes one outcome with one line of text. lumoractl prints it, the dialog shows it,
// the Python module returns or raises it; none of them words it itself.
#pragma once

#include "actions/action.h"

#include <chrono>
#include <string>
#include <vector>

namespace lumora {

enum class Severity {
    Ok,
    Warning,  // done, with something the operator should know
    Failure,
};

// The failures a front end may tell apart.
enum class Problem {
    None,
    NotConnected,      // the action needs an open module and there was none
    NoModule,          // nothing attached, or nothing with the selected serial
    NotAccessible,     // attached, but this user may not open it
    ModuleBusy,        // attached, but another program holds it
    OpenFailed,        // attached, and the open failed for another reason
    LinkFailed,        // a write or read failed; the module was closed
    Refused,           // the controller set the error flag on a command
    TableCheckFailed,  // no valid verdict on the tables, or a non-zero one
    SequenceFile,      // a sequence file that cannot be sent as it stands
    InvalidArgument,   // an argument broke its rule; nothing was sent
    Cancelled,         // the operator cancelled the action before its end
};

// Who reads the text: the operator at the dialog, or a script's author
// (lumoractl and the Python module), who is told commands rather than
// buttons.
enum class Audience {
    Dialog,
    Script,
};

struct Outcome {
    Severity severity = Severity::Ok;
    Problem problem = Problem::None;
    std::string text;                   // one line
    std::vector<std::string> warnings;  // one line each, also part of text
    std::vector<std::string> advice;    // what to do about it, for scripts
};

// The commands that give this user the module, as the advice after a refused
// open and the dialog's help show them: the udev rule for the user at the
// seat, and the plugdev group for scripts run over SSH or from cron.
inline constexpr const char* kInstallRuleCommand =
    "lumoractl udev-rule | sudo tee /etc/udev/rules.d/70-lumora.rules >/dev/null && "
    "sudo udevadm control --reload-rules && sudo udevadm trigger --subsystem-match=hidraw";
inline constexpr const char* kJoinPlugdevCommand = "sudo usermod -aG plugdev \"$USER\"";

// The action as the operator knows it: "Project Full Fringes at 10 Hz".
std::string ActionLabel(const Action& action);

// The failure of an action that needs an open module when none is open
// (Problem::NotConnected).
Outcome NoModuleOpen(Audience audience);

// Nothing with the controller's vendor and product ID is attached
// (Problem::NoModule): after a failed open, and for a listing that finds none.
Outcome NoModuleAttached();

// The open module went away (Problem::LinkFailed): "The module at port 1-2.3
// was unplugged." port is the module's port, or its node where the port is
// unknown.
Outcome ModuleUnplugged(const std::string& port);

// The outcome of an action, from its record (RunAction) alone.
Outcome ConcludeAction(const Action& action, const ActionRecord& record, Audience audience);

// Progress of an action running on another thread, for a window that keeps
// painting meanwhile: the step, the commands sent so far, and how long the
// link has waited for the controller. Reads only what may be read from any
// thread; Text is called from the window's thread every few tens of ms.
class ProgressMonitor {
public:
    explicit ProgressMonitor(Action action);
    std::string Text(std::chrono::steady_clock::time_point now);

private:
    Action action_;
    unsigned waitingFor_ = 0;  // the read under way when last looked at
    std::chrono::steady_clock::time_point waitingSince_{};
    bool pausing_ = false;     // inside the start pause when last looked at
    std::chrono::steady_clock::time_point pausingSince_{};
};

}  // namespace lumora
