#include "connection/modules.h"

#include "connection/connection.h"
#include "connection/diagnosis.h"
#include "link/utf8.h"

#include <hidapi.h>

#include <algorithm>
#include <filesystem>

namespace lumora {

namespace {

// Known interface numbers first, in order; the order of listing otherwise.
bool ComesFirst(const ModuleInterface& a, const ModuleInterface& b)
{
    if ((a.number < 0) != (b.number < 0)) {
        return a.number >= 0;
    }
    return a.number < b.number;
}

// The node a path leads to, for comparing one path with another.
std::string Resolved(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::canonical(path, error);
    return error ? path : resolved.string();
}

}  // namespace

std::vector<ModuleInfo> GroupInterfaces(const std::vector<EnumeratedInterface>& interfaces)
{
    std::vector<ModuleInfo> modules;
    std::vector<const EnumeratedInterface*> commands;  // each module's command interface so far
    for (const EnumeratedInterface& found : interfaces) {
        const std::string port = PortOf(found.place);
        const ModuleInterface interface{
            found.interfaceNumber >= 0 ? found.interfaceNumber : InterfaceInPhys(found.place.phys), found.path};
        // A module without a port is its one node.
        auto module = std::find_if(modules.begin(), modules.end(), [&](const ModuleInfo& m) {
            return port.empty() ? m.port.empty() && m.interfaces.front().path == found.path : m.port == port;
        });
        if (module == modules.end()) {
            modules.push_back({port, "", "", "", "", {}});
            commands.push_back(&found);
            module = modules.end() - 1;
        }
        auto& list = module->interfaces;
        // The HID library lists a node once for each top-level collection.
        if (std::any_of(list.begin(), list.end(), [&found](const ModuleInterface& i) { return i.path == found.path; })) {
            continue;
        }
        list.insert(std::upper_bound(list.begin(), list.end(), interface, ComesFirst), interface);
        const std::size_t index = static_cast<std::size_t>(module - modules.begin());
        if (list.front().path == found.path) {
            commands[index] = &found;
        }
    }
    for (std::size_t i = 0; i < modules.size(); ++i) {
        modules[i].path = modules[i].interfaces.front().path;
        modules[i].serial = commands[i]->serial;
        modules[i].manufacturer = commands[i]->manufacturer;
        modules[i].product = commands[i]->product;
    }
    return modules;
}

std::vector<ModuleInfo> ListModules()
{
    std::vector<EnumeratedInterface> interfaces;
    std::vector<std::string> paths;
    hid_device_info* all = hid_enumerate(kVendorId, kProductId);
    for (const hid_device_info* info = all; info != nullptr; info = info->next) {
        const std::string path = info->path != nullptr ? info->path : "";
        interfaces.push_back({path, info->interface_number, ToUtf8(info->serial_number),
                              ToUtf8(info->manufacturer_string), ToUtf8(info->product_string), {}});
        paths.push_back(path);
    }
    hid_free_enumeration(all);
    const std::vector<UsbPlace> places = PlacesOfNodes(paths);
    for (std::size_t i = 0; i < interfaces.size(); ++i) {
        interfaces[i].place = places[i];
    }
    return GroupInterfaces(interfaces);
}

ChoiceResult ChooseModule(const std::vector<ModuleInfo>& modules, const ModuleChoice& choice)
{
    ChoiceResult result;
    if (modules.empty()) {
        result.problem = ChoiceProblem::NoModule;
        return result;
    }
    const std::string wanted = choice.by == ModuleChoice::By::Path ? Resolved(choice.value) : choice.value;
    std::vector<const ModuleInfo*> matches;
    for (const ModuleInfo& module : modules) {
        bool match = false;
        switch (choice.by) {
        case ModuleChoice::By::First:
            match = true;
            break;
        case ModuleChoice::By::Port:
            match = !module.port.empty() && module.port == wanted;
            break;
        case ModuleChoice::By::Path:
            match = std::any_of(module.interfaces.begin(), module.interfaces.end(),
                                [&wanted](const ModuleInterface& i) { return Resolved(i.path) == wanted; });
            break;
        case ModuleChoice::By::Serial:
            match = module.serial == wanted;
            break;
        }
        if (match) {
            matches.push_back(&module);
        }
    }
    if (matches.empty()) {
        result.problem = choice.by == ModuleChoice::By::Port   ? ChoiceProblem::NoSuchPort
                         : choice.by == ModuleChoice::By::Path ? ChoiceProblem::NoSuchPath
                                                               : ChoiceProblem::NoSuchSerial;
        return result;
    }
    if (choice.by == ModuleChoice::By::Serial && matches.size() > 1) {
        result.problem = ChoiceProblem::SharedSerial;
        for (const ModuleInfo* module : matches) {
            result.ports.push_back(module->port.empty() ? module->path : module->port);
        }
        return result;
    }
    result.module = *matches.front();
    return result;
}

}  // namespace lumora
