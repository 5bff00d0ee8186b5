// Another program's hold on a module, as a second process would have it,
// and this process as a lock's record names it.
//
// Linux: an open file description of its own with the node's exclusive
// lock. Windows: the module's lock object taken once more, which this
// process then finds held exactly as it would find another program's.
#pragma once

#include "connection/module_lock.h"
#include "link/lock_handle.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <windows.h>

#include <filesystem>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <fstream>
#endif

class OtherProgram {
public:
    explicit OtherProgram(const std::string& path)
    {
#ifdef _WIN32
        lumora::LockHolder holder;
        int error = 0;
        EXPECT_EQ(lumora::LockModule(path, lock_, holder, error), lumora::LockResult::Taken) << error;
#else
        lock_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        EXPECT_GE(lock_, 0);
        EXPECT_EQ(::flock(lock_, LOCK_EX | LOCK_NB), 0);
#endif
    }
    ~OtherProgram()
    {
        if (lock_ >= 0) {
            lumora::ReleaseLockHandle(lock_);
        }
    }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

private:
    int lock_ = -1;
};

// Whether a program could take the module's lock right now.
inline bool Lockable(const std::string& path)
{
#ifdef _WIN32
    lumora::LockHolder holder;
    int lock = -1;
    int error = 0;
    const bool free = lumora::LockModule(path, lock, holder, error) == lumora::LockResult::Taken;
    if (free) {
        lumora::ReleaseLockHandle(lock);
    }
    return free;
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool free = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
#endif
}

// This program's name as the system tells it to another program.
inline std::string OwnProgramName()
{
#ifdef _WIN32
    wchar_t file[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, file, MAX_PATH);
    return std::filesystem::path(std::wstring(file, length)).stem().string();
#else
    std::ifstream comm("/proc/self/comm");
    std::string name;
    std::getline(comm, name);
    return name;
#endif
}

inline int OwnProcessId()
{
#ifdef _WIN32
    return static_cast<int>(::GetCurrentProcessId());
#else
    return static_cast<int>(::getpid());
#endif
}
