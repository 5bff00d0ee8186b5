// Windows lets every user open a HID device; an open fails when another
// program opened it with no sharing (the system does so with keyboards and
// mice). hidapi says which error stopped it as "open_device: (0x00000020) ...".
#include "connection/open_failure.h"

#include <windows.h>

#include <cstdio>

namespace lumora {

OpenProblem ClassifyOpenFailure(const std::string&, const std::string& detail, int)
{
    for (const DWORD code : {DWORD{ERROR_SHARING_VIOLATION}, DWORD{ERROR_ACCESS_DENIED}}) {
        char said[16];
        std::snprintf(said, sizeof said, "(0x%08lX)", static_cast<unsigned long>(code));
        if (detail.find(said) != std::string::npos) {
            return OpenProblem::Busy;
        }
    }
    return OpenProblem::Other;
}

}  // namespace lumora
