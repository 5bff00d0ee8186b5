#include "cli/cli.h"
#include "cli/console.h"

#include "link/link.h"

#include <csignal>
#include <thread>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace lumora::cli {

void PrepareConsole()
{
    // A reader that goes away (lumoractl --trace ... | head -1) must not end
    // the process half-way through an upload: writes to it fail instead, and
    // the action runs to its end.
    std::signal(SIGPIPE, SIG_IGN);
}

std::vector<std::string> CommandLine(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

void CancelOnSignals()
{
    // The signals are taken by a thread of their own, never by a handler:
    // a read of the kernel's hidraw node that a handler interrupts fails
    // (EINTR), and the library would report the link as broken. The mask is
    // set before any other thread starts, so every thread inherits it.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals] {
        for (bool signalled = false;;) {
            int signal = 0;
            if (::sigwait(&signals, &signal) != 0) {
                continue;
            }
            if (signalled) {
                ::_exit(kExitCancelled);  // the second one ends the program at once
            }
            signalled = true;
            RequestCancel();
        }
    }).detach();
}

}  // namespace lumora::cli
