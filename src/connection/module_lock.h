// One module, one program. From open to close a program holds an exclusive
// lock on the module it opened, which the system drops when the program ends
// in any way (a crash or a kill included).
//
// On Linux the lock is taken on the device node itself, not on a lock file,
// so no other user can plant, replace or redirect it; the kernel drops it
// when the descriptor closes (module_lock_posix.cpp). On Windows it is a
// named kernel object of the session, one per module, that lives as long as
// a handle to it is open; it keeps the holder's name and process ID for the
// next program to read (module_lock_windows.cpp).
#pragma once

#include <string>

namespace lumora {

// Who holds a module: a process ID and the program's name, where the system
// can tell (pid 0 and an empty name when it cannot).
struct LockHolder {
    int pid = 0;
    std::string program;
};

enum class LockResult {
    Taken,   // lock holds the module's lock
    Held,    // another program holds it; holder says who
    Failed,  // the lock could not be taken; error is the system's error code
};

// Takes the exclusive lock of the module at path (its device path) without
// waiting. On Taken, lock is the handle to keep for as long as the module
// stays open (deviceLock); the link lets it go with the device.
LockResult LockModule(const std::string& path, int& lock, LockHolder& holder, int& error);

// The system's words for an error code of LockModule.
std::string LockErrorText(int error);

// Whether some program holds the lock of the module at path, and who, looked
// up without opening the module (so without touching the device, and without
// needing access to it). False when nothing holds it or, on Linux, the node
// is not there.
bool FindNodeHolder(const std::string& path, LockHolder& holder);

// Whether some program holds the lock of the node at path, and who, looked
// up without opening the node (so without touching the device, and without
// needing access to it). False when nothing holds it or the node is not there.
bool FindNodeHolder(const std::string& path, LockHolder& holder);

}  // namespace lumora
