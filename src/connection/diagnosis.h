// What is attached, and why an open failed: for front ends that tell the
// operator what to do about it.
#pragma once

#include <string>
#include <vector>

namespace lumora {

// One attached controller, as the HID library enumerates it (UTF-8 strings).
struct ModuleInfo {
    std::string path;
    std::string serial;
    std::string manufacturer;
    std::string product;
};

// Every attached controller, in enumeration order.
std::vector<ModuleInfo> ListModules();

enum class OpenProblem {
    NoModule,       // nothing with the controller's vendor and product ID is attached
    NoSuchSerial,   // modules are attached, none with the selected serial number
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
};

// Call straight after an open of the controller failed, before any other HID
// call: a refusal by the module's lock first, else the library's error, then
// what is attached.
OpenDiagnosis DiagnoseOpenFailure();

}  // namespace lumora
