#include "sim/host.h"

#include "sim/sim_controller.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace sim {

namespace {

// A function's static, not a namespace-scope one: the preloaded simulator
// sets it from its constructor, which may run before this file's globals are
// initialised (which would then drop what it set).
std::string& PrivateNodeDirectory()
{
    static std::string directory;
    return directory;
}

void RemovePrivateNodeDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(PrivateNodeDirectory(), ignored);
}

// The private node directory and the nodes made in it, for the signal
// handler below, which may not allocate.
constexpr int kMaxNodes = 64;
constexpr std::size_t kMaxPath = 4096;
char signalDirectory[kMaxPath];
char signalNodes[kMaxNodes][kMaxPath];
std::atomic<int> signalNodeCount{0};

// On SIGINT or SIGTERM, removes the private node directory as a normal exit
// does, then dies of the signal as the program would have.
void RemoveNodesAndDie(int signal)
{
    for (int i = 0; i < signalNodeCount.load(); ++i) {
        ::unlink(signalNodes[i]);
    }
    ::rmdir(signalDirectory);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Catches SIGINT and SIGTERM for the directory's sake, unless the program
// handles or ignores them itself.
void RemoveNodesOnSignals(const std::string& directory)
{
    if (directory.size() >= kMaxPath) {
        return;
    }
    std::memcpy(signalDirectory, directory.c_str(), directory.size() + 1);
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
            struct sigaction action {};
            action.sa_handler = RemoveNodesAndDie;
            sigemptyset(&action.sa_mask);
            ::sigaction(signal, &action, nullptr);
        }
    }
}

// Remembers a node for the signal handler, once.
void RememberNode(const std::string& path)
{
    const int count = signalNodeCount.load();
    for (int i = 0; i < count; ++i) {
        if (path == signalNodes[i]) {
            return;
        }
    }
    if (count < kMaxNodes && path.size() < kMaxPath) {
        std::memcpy(signalNodes[count], path.c_str(), path.size() + 1);
        signalNodeCount.store(count + 1);
    }
}

}  // namespace

void CreateNode(const std::string& path)
{
    const std::string& directory = NodeDirectory();
    if (path.rfind(directory + "/", 0) != 0) {
        return;
    }
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) {
        ::close(fd);
        RememberNode(path);
    }
}

std::wstring OpenRefusal(const std::string& path, bool busy)
{
    errno = busy ? EBUSY : EACCES;
    return L"Failed to open a device with path '" + std::wstring(path.begin(), path.end()) +
           (busy ? L"': Device or resource busy" : L"': Permission denied");
}

int OpenForAppending(const char* path) { return ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644); }

std::FILE* OpenTraceFile(const char* path) { return std::fopen(path, "ae"); }

const std::string& NodeDirectory()
{
    static const std::string directory = [] {
        if (const char* shared = std::getenv("LUMORA_SIM_DIR"); shared != nullptr && *shared != '\0') {
            ::mkdir(shared, 0700);
            return std::string(shared);
        }
        std::string pattern = std::filesystem::temp_directory_path() / "lumora-sim-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("lumora-sim: cannot create the node directory");
            std::abort();
        }
        PrivateNodeDirectory() = pattern;
        std::atexit(RemovePrivateNodeDirectory);
        RemoveNodesOnSignals(pattern);
        return pattern;
    }();
    return directory;
}

}  // namespace sim
