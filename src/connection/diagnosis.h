// What is attached, and why an open failed: for front ends that tell the
// operator what to do about it.
#pragma once

#include "connection/modules.h"

#include <string>
#include <vector>

namespace lumora {

enum class OpenProblem {
    NoModule,       // nothing with the controller's vendor and product ID is attached
    NoSuchSerial,   // modules are attached, none with the selected serial number
    NoSuchPort,     // modules are attached, none at the selected port
    NoSuchPath,     // modules are attached, none with the selected device node
    SharedSerial,   // several modules carry the selected serial number; none was opened
    NoAccess,       // attached, but this user may not open its device node
    Busy,           // attached, but another program holds it
    Other,          // attached, and the open failed for another reason
};

struct OpenDiagnosis {
    OpenProblem problem;
    std::string path;    // of the module that could not be opened
    std::string detail;  // what the HID library (or the lock) said
    int holderPid = 0;   // Busy: the program that holds the module, where
    std::string holder;  // the system can tell
    std::vector<std::string> ports;  // SharedSerial: the ports of the modules that carry it
};

// Call after an open of the controller failed: the choice of module that
// named none, else a refusal by the module's lock, else what the library
// said when the chosen module would not open.
OpenDiagnosis DiagnoseOpenFailure();

}  // namespace lumora
