#include "connection/module_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

namespace lumora {

namespace {

std::string ProgramName(int pid)
{
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// The process holding an exclusive lock on the file that fd refers to, as
// the kernel lists it in /proc/locks.
LockHolder FindLockHolder(int fd);

}  // namespace

std::string LockErrorText(int error) { return std::strerror(error); }

LockResult LockModule(const std::string& path, int& fd, LockHolder& holder, int& error)
{
    fd = -1;
    // Read-only is enough to lock; O_NOFOLLOW refuses a symbolic link put in
    // the node's place.
    const int node = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    if (node < 0) {
        error = errno;
        return LockResult::Failed;
    }
    if (::flock(node, LOCK_EX | LOCK_NB) == 0) {
        fd = node;
        return LockResult::Taken;
    }
    error = errno;
    const LockResult result = error == EWOULDBLOCK ? LockResult::Held : LockResult::Failed;
    if (result == LockResult::Held) {
        holder = FindLockHolder(node);
    }
    ::close(node);
    return result;
}

namespace {

// The lock on the file with this inode on this file system, if any.
std::optional<LockHolder> HolderOfFile(const struct stat& node)
{
    // Each line: "1: FLOCK  ADVISORY  WRITE 1234 00:05:567 0 EOF", with the
    // file as the major and minor number (hex) of its file system and its
    // inode. Lines with "->" are programs still waiting for a lock.
    char file[64];
    std::snprintf(file, sizeof file, "%02x:%02x:%llu", major(node.st_dev), minor(node.st_dev),
                  static_cast<unsigned long long>(node.st_ino));
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, kind, advisory, mode, pid, where;
        if (!(fields >> number >> kind) || kind == "->" || kind != "FLOCK") {
            continue;
        }
        if (fields >> advisory >> mode >> pid >> where && where == file) {
            LockHolder holder;
            holder.pid = std::atoi(pid.c_str());
            if (holder.pid > 0) {
                holder.program = ProgramName(holder.pid);
            }
            return holder;
        }
    }
    return std::nullopt;
}

LockHolder FindLockHolder(int fd)
{
    struct stat node {};
    if (::fstat(fd, &node) != 0) {
        return {};
    }
    return HolderOfFile(node).value_or(LockHolder{});
}

}  // namespace

bool FindNodeHolder(const std::string& path, LockHolder& holder)
{
    struct stat node {};
    if (::stat(path.c_str(), &node) != 0) {
        return false;
    }
    const std::optional<LockHolder> found = HolderOfFile(node);
    if (found) {
        holder = *found;
    }
    return found.has_value();
}

}  // namespace lumora
