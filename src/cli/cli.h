// lumoractl: the command-line companion for scripting a rig. Each command
// opens the controller, runs one operation and closes the device again.
//
// Exit status: 0 when no command failed, 1 when no controller was found, the
// link failed or the controller refused a command, 2 for a usage error (and
// then nothing is sent).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace lumora::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Runs one invocation; args excludes the program name.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace lumora::cli
