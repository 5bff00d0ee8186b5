// Why the HID library could not open a module that is attached, as the
// system tells it: on Linux the device node's access (NoAccess) or a busy
// device, on Windows a device that another program opened exclusively.
#pragma once

#include "connection/diagnosis.h"

#include <string>

namespace lumora {

// path: the module's device path; detail: the library's error text; error:
// errno straight after the failed open. NoAccess, Busy or Other.
OpenProblem ClassifyOpenFailure(const std::string& path, const std::string& detail, int error);

}  // namespace lumora
