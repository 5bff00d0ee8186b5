#include "cli/cli.h"
#include "cli/console.h"

#include "link/link.h"
#include "link/utf8.h"

#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace lumora::cli {

namespace {

// The console's output code page before this program set UTF-8: the
// console belongs to the shell too, which gets it back.
UINT consoleCodePage = 0;

void RestoreConsole()
{
    if (consoleCodePage != 0) {
        ::SetConsoleOutputCP(consoleCodePage);
    }
}

// Ctrl-C and Ctrl-Break, on a thread that Windows starts for them: the
// first cancels the running action, the second ends the program at once.
// Closing the console window, logging off and shutting down are left to
// Windows, which ends the program (and so drops the module's lock).
BOOL WINAPI OnConsoleControl(DWORD event)
{
    static std::atomic<bool> signalled = false;
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    if (signalled.exchange(true)) {
        RestoreConsole();
        ::_exit(kExitCancelled);
    }
    RequestCancel();
    return TRUE;
}

}  // namespace

void PrepareConsole()
{
    const UINT codePage = ::GetConsoleOutputCP();
    if (codePage != 0 && codePage != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8)) {
        consoleCodePage = codePage;
        std::atexit(RestoreConsole);
    }
    ::_setmode(::_fileno(stdin), _O_BINARY);
}

std::vector<std::string> CommandLine(int, char**)
{
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    for (int i = 1; words != nullptr && i < count; ++i) {
        arguments.push_back(ToUtf8(words[i]));
    }
    ::LocalFree(words);
    return arguments;
}

void CancelOnSignals() { ::SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

}  // namespace lumora::cli
