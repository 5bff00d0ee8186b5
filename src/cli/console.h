// The console a command-line program talks through, set up by main before
// Run: what differs between Linux and Windows (console_posix.cpp,
// console_windows.cpp). CancelOnSignals (cli.h) is the third part.
#pragma once

#include <string>
#include <vector>

namespace lumora::cli {

// Readies standard input and output. Linux: a reader that goes away makes a
// write fail instead of ending the process. Windows: the console shows the
// UTF-8 text as it is (and gets its own code page back at exit), and
// standard input gives the bytes a file would.
void PrepareConsole();

// The arguments after the program's name, as UTF-8: argv on Linux, the
// command line's wide text on Windows (argv there is in the ANSI code page,
// which loses what it cannot show).
std::vector<std::string> CommandLine(int argc, char** argv);

}  // namespace lumora::cli
