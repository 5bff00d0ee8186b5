#include "ui/help.h"

#include "actions/outcome.h"
#include "patterns/presets.h"

#include <string>

namespace lumora::ui {

namespace {

// Who may open the module is the system's business: Linux gives a USB device
// to its owner only, Windows' HID driver serves every user.
std::string Permissions()
{
#ifdef _WIN32
    return {};
#else
    return std::string("When this user may not open the module\n"
                       "Linux gives a USB device to its owner only. The udev rule of Lumora gives the module to "
                       "the user logged in at the seat, and to the members of the plugdev group (for scripts run "
                       "over SSH or from cron). The Lumora package installs the rule; without it, an administrator "
                       "runs\n    ") +
           kInstallRuleCommand + "\nand re-plugs the module. To join the group: " + kJoinPlugdevCommand +
           ", then log in again.\n\n";
#endif
}

}  // namespace

std::string OperatorHelpText()
{
    return std::string(
               "Connecting\n"
               "Plug the projection module in over USB and press \"ConnectUSB\". "
               "\"USB Connected ?\" is ticked when the module was found and cleared when it was not. "
               "The tick shows the outcome of the last \"ConnectUSB\" only; it does not follow the link. "
               "While this window has the module open, no other program can use it, and the other way round: "
               "a module held by another program is named in the status line with that program.\n"
               "\n") + Permissions() + std::string(
               "The status line\n"
               "Beneath the buttons, one line tells what each action did: sent and accepted, a warning, or what "
               "failed (marked). While an action runs it shows the step, the commands sent so far and how long "
               "the controller has been waited for; the buttons and fields take no input until it ends. "
               "After a failed or abandoned check of the look-up tables it says that the sequence was started "
               "anyway.\n"
               "\n"
               "Projecting (each button runs to its end)\n"
               "\"Project Full Fringes\": the 31 fringe patterns of flash images 0 to 10 at the Frequency.\n"
               "\"Project From M to N\": pictures M to N at the Frequency; M must not be greater than N.\n"
               "\"Project 1 Picture\": the one picture given under \"Project 1 Picture\" at the Frequency.\n"
               "\"Project Cross\": the fixed cross pattern at 120 Hz; it reads no field.\n"
               "\"Project Sequence File...\" (on the window's context menu): a sequence of your own from a "
               "TOML file; a file with errors is shown with their lines and sends nothing, and the sequence "
               "starts only when the controller accepts its tables.\n"
               "\n"
               "Controlling\n"
               "\"START\": reconnects and puts the module back into video mode.\n"
               "\"PAUSE\" and \"STOP\": pause or stop the running pattern sequence.\n"
               "\n"
               "Fields\n"
               "Frequency: ") + std::to_string(kMinFrequency) + " to " + std::to_string(kMaxFrequency) +
           " Hz. Pictures (Project 1 Picture, M and N): " + std::to_string(kMinPicture) + " to " +
           std::to_string(kMaxPicture) + std::string(".\n"
               "The three projecting buttons that read fields check all four first and send nothing "
               "while one of them is refused.\n"
               "\n"
               "\"OK\" checks the fields and closes the window; \"Cancel\" and Escape close it at once. "
               "Closing the window leaves the module as it is.");
}

}  // namespace lumora::ui
