// lumoractl: the command-line companion for scripting a rig. Each command
// opens and locks the module, runs one action, says what happened in one
// line and closes the device again.
//
// Exit status: 0 when the action went through, 1 when it failed (no module
// could be opened, the link failed, the controller refused a command, the
// look-up-table check failed) or stdout could not be written, 2 for a usage
// error (and then nothing is sent), 130 when SIGINT or SIGTERM cancelled the
// action (the outcome still says what went out).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace lumora::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCancelled = 130;

// The first SIGINT or SIGTERM (Ctrl-C or Ctrl-Break on Windows) cancels the
// running action (it stops before its next command, or within a read slice
// of a wait), which then says what it sent, closes the module and exits 130;
// a second one ends the process at once. For main, before Run
// (console_posix.cpp, console_windows.cpp).
void CancelOnSignals();

// Runs one invocation; args excludes the program name.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace lumora::cli
