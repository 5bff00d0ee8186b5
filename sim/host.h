// What the simulated controller needs from the system it runs on, for Linux
// (host_posix.cpp) and Windows (host_windows.cpp): the modules' device nodes
// (NodeDirectory, in sim_controller.h), the library's words for an open that
// the system refuses, and files that several processes append to.
#pragma once

#include <cstdio>
#include <string>

namespace sim {

// Makes what stands for a module's device node at path, where a program
// takes the module's lock: on Linux an empty file (inside the node
// directory only; other paths are the caller's business). On Windows the
// lock is a named object made from the path alone, and nothing is made.
void CreateNode(const std::string& path);

// What the HID library says, and errno, when the system refuses to open the
// module at path: access denied, or busy (held by another program).
std::wstring OpenRefusal(const std::string& path, bool busy);

// Opens a file to append to, for lines that several processes write at once
// (each line with one write): a descriptor, or -1. Bytes go as they are.
int OpenForAppending(const char* path);

// Opens a text file to append to, not inherited by child processes.
std::FILE* OpenTraceFile(const char* path);

}  // namespace sim
