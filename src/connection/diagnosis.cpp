#include "connection/diagnosis.h"

#include "connection/connection.h"
#include "connection/module_lock.h"
#include "connection/open_failure.h"
#include "link/utf8.h"

#include <hidapi.h>

#include <cerrno>

namespace lumora {

std::vector<ModuleInfo> ListModules()
{
    std::vector<ModuleInfo> modules;
    hid_device_info* all = hid_enumerate(kVendorId, kProductId);
    for (const hid_device_info* info = all; info != nullptr; info = info->next) {
        modules.push_back({info->path != nullptr ? info->path : "", ToUtf8(info->serial_number),
                           ToUtf8(info->manufacturer_string), ToUtf8(info->product_string)});
    }
    hid_free_enumeration(all);
    return modules;
}

OpenDiagnosis DiagnoseOpenFailure()
{
    if (const LockRefusal& lock = LastLockRefusal(); lock.refused) {
        if (lock.held) {
            return {OpenProblem::Busy, lock.path, "locked by another program", lock.pid, lock.program};
        }
        return {OpenProblem::Other, lock.path,
                lock.path.empty() ? "its device node is unknown" : "cannot lock it: " + LockErrorText(lock.error),
                0, ""};
    }
    // The library's own account of the failed open comes first: any later
    // call may replace it.
    const int openErrno = errno;
    const std::string detail = ToUtf8(hid_error(nullptr));

    const std::vector<ModuleInfo> modules = ListModules();
    const std::string serial = ToUtf8(SelectedModule().c_str());
    const ModuleInfo* target = nullptr;
    for (const ModuleInfo& module : modules) {
        if (serial.empty() || module.serial == serial) {
            target = &module;
            break;
        }
    }
    if (modules.empty()) {
        return {OpenProblem::NoModule, "", detail, 0, ""};
    }
    if (target == nullptr) {
        return {OpenProblem::NoSuchSerial, "", detail, 0, ""};
    }
    return {ClassifyOpenFailure(target->path, detail, openErrno), target->path, detail, 0, ""};
}

}  // namespace lumora
