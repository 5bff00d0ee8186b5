// The simulated controller on Windows. A module's lock is a named object made
// from its device path (src/connection/module_lock_windows.cpp), so a node is
// only a name: programs that are given the same LUMORA_SIM_DIR name the same
// modules and share their locks; without it each process has names of its
// own. Nothing is made on disk.
#include "sim/host.h"

#include "sim/attachment.h"
#include "sim/sim_controller.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace sim {

void CreateNode(const std::string&) {}

// Device monitors are the libudev stand-in's, which is Linux's alone: there
// is none to wake.
void ArmTimers(Attachment&) {}

const std::string& NodeDirectory()
{
    static const std::string directory = [] {
        if (const char* shared = std::getenv("LUMORA_SIM_DIR"); shared != nullptr && *shared != '\0') {
            return std::string(shared);
        }
        return "lumora-sim-" + std::to_string(::GetCurrentProcessId());
    }();
    return directory;
}

// As hidapi's Windows back end says it: the operation, the error code, and
// Windows' words for it.
std::wstring OpenRefusal(const std::string&, bool busy)
{
    errno = busy ? EBUSY : EACCES;
    return busy ? L"open_device: (0x00000020) The process cannot access the file because it is being used by "
                  L"another process."
                : L"open_device: (0x00000005) Access is denied.";
}

// Opened for appending only, each write goes to the end of the file as one
// piece, whoever else writes there.
int OpenForAppending(const char* path)
{
    HANDLE file = ::CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return -1;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_APPEND | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(file);
    }
    return fd;
}

std::FILE* OpenTraceFile(const char* path) { return std::fopen(path, "aN"); }

}  // namespace sim
