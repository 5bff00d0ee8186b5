// One module, one program. From open to close a program holds an exclusive
// lock on the device node of the module it opened. The lock is taken on the
// node itself, not on a lock file, so no other user can plant, replace or
// redirect it; the kernel drops it when the descriptor closes, also when the
// program ends in any way (a crash or kill -9 included).
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
    Taken,   // fd holds the lock
    Held,    // another program holds it; holder says who
    Failed,  // the node could not be opened or locked; error is the errno
};

// Opens the device node at path and takes its exclusive lock without waiting.
// On Taken, fd is the descriptor to keep (close-on-exec) for as long as the
// module stays open.
LockResult LockModule(const std::string& path, int& fd, LockHolder& holder, int& error);

// The process holding an exclusive lock on the file that fd refers to, as
// the kernel lists it in /proc/locks.
LockHolder FindLockHolder(int fd);

// Whether some program holds the lock of the node at path, and who, looked
// up without opening the node (so without touching the device, and without
// needing access to it). False when nothing holds it or the node is not there.
bool FindNodeHolder(const std::string& path, LockHolder& holder);

}  // namespace lumora
