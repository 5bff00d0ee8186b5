// The attached modules as they really enumerate: a module is a USB device,
// which may show several HID interfaces (one hidraw node each, all with the
// same vendor, product and serial). Its interfaces are grouped by the port it
// is plugged into; the tool talks to its command interface, the one with the
// lowest interface number.
#pragma once

#include "connection/usb_place.h"

#include <string>
#include <vector>

namespace lumora {

// One HID interface of a module.
struct ModuleInterface {
    int number = -1;   // its USB interface number; -1 when nothing tells it
    std::string path;  // its hidraw device node
};

// One attached module (UTF-8 strings).
struct ModuleInfo {
    std::string port;  // where it is plugged in ("1-2.3"); stays the same across a replug into the
                       // same socket. Empty when the system does not tell: the module is then its one node.
    std::string path;  // the command interface's node: the first of interfaces
    std::string serial;
    std::string manufacturer;
    std::string product;
    std::vector<ModuleInterface> interfaces;  // by interface number, unknown numbers last
};

// One HID interface as the HID library enumerates it, with its place.
struct EnumeratedInterface {
    std::string path;
    int interfaceNumber = -1;  // as the HID library says; -1 when it cannot (no USB device above the node)
    std::string serial;
    std::string manufacturer;
    std::string product;
    UsbPlace place;
};

// The interfaces grouped into modules by port, in the order their first
// interfaces came. An interface's number is the HID library's, else the one
// in its HID_PHYS. A module's strings are its command interface's.
std::vector<ModuleInfo> GroupInterfaces(const std::vector<EnumeratedInterface>& interfaces);

// Every attached module, in enumeration order.
std::vector<ModuleInfo> ListModules();

// Which module a front end asks for.
struct ModuleChoice {
    enum class By {
        First,   // the first module found (the default)
        Port,    // the module at this port
        Path,    // the module one of whose nodes this is
        Serial,  // the one module with this serial number
    };
    By by = By::First;
    std::string value;  // the port, node or serial number (UTF-8)
};

enum class ChoiceProblem {
    None,
    NoModule,      // nothing attached at all
    NoSuchPort,
    NoSuchPath,
    NoSuchSerial,
    SharedSerial,  // several modules carry the serial number: it names none of them
};

struct ChoiceResult {
    ChoiceProblem problem = ChoiceProblem::None;
    ModuleInfo module;                // the one chosen, when problem is None
    std::vector<std::string> ports;   // SharedSerial: the ports of the modules that share it
};

// The module the choice names among those listed. A path names the module of
// the node it leads to, whichever interface that is.
ChoiceResult ChooseModule(const std::vector<ModuleInfo>& modules, const ModuleChoice& choice);

}  // namespace lumora
