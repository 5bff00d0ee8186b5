// Opening the controller and putting it back into video mode. This is the only
// place where a device is opened; the link closes it after a link failure.
#pragma once

#include "patterns/command_run.h"
#include "connection/modules.h"

#include <cstdint>
#include <string>

namespace lumora {

inline constexpr std::uint16_t kVendorId = 0x0451;
inline constexpr std::uint16_t kProductId = 0x6401;

// The state the operator interface starts from: no device open, and the HID
// library released once. Nothing reaches the controller.
void EnterStartupState();

// Closes an open device, initialises the HID library and opens the selected
// module's command interface, taking its exclusive lock; a module that
// another program holds is closed again at once. Returns whether a device is
// now open. Sends no command.
bool ConnectDevice();

// Closes an open device, opens and locks the controller afresh (without
// initialising the HID library first) and sends the 18 video-mode commands
// (PlanVideoMode) whether or not the open succeeded. Examines no result;
// returns the run's record.
RunRecord StartVideoMode();

// Closes an open device and releases the HID library; for front ends that
// end the process.
void ReleaseDevice();

// Which module ConnectDevice and StartVideoMode open: the first one found
// (the default), or the one that the port, a node or the serial number
// names. A serial number that several modules carry names none of them.
void SelectModule(const ModuleChoice& choice);
// By serial number alone; the first module found when empty.
void SelectModule(const std::wstring& serial);
const ModuleChoice& SelectedModule();

// The command interface's node, the serial number and the port of the open
// module (UTF-8); empty when none is open.
struct OpenModule {
    std::string path;
    std::string serial;
    std::string port;
};
const OpenModule& OpenedModule();

// The choice that names the open module again later, whatever else is
// plugged in meanwhile: its port, or its node where the port is unknown.
ModuleChoice ChoiceOf(const OpenModule& module);

// How the last open went up to the lock: which module the selection named
// (or why none), and when the HID library would not open it, what it said.
// Cleared by every open.
struct OpenAttempt {
    ChoiceResult choice;
    bool opened = false;  // the chosen module's command interface is open
    int error = 0;        // errno when it would not open
    std::string detail;   // and the library's words for it
};
const OpenAttempt& LastOpenAttempt();

// Why the last open ended without a device although the HID library opened
// one: its lock, or the node that could not be locked. Cleared by every open.
struct LockRefusal {
    bool refused = false;
    bool held = false;      // another program holds the module
    std::string path;
    int pid = 0;            // the holder, where the system can tell
    std::string program;
    int error = 0;          // the system's error code when the lock could not be taken
};
const LockRefusal& LastLockRefusal();

}  // namespace lumora
