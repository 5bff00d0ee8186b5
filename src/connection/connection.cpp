#include "connection/connection.h"

#include "connection/module_lock.h"
#include "link/commands.h"
#include "link/link.h"
#include "link/utf8.h"
#include "patterns/plans.h"

#include <hidapi.h>

#include <cerrno>

namespace lumora {

namespace {

ModuleChoice selected;
OpenModule openedModule;
OpenAttempt lastOpenAttempt;
LockRefusal lastLockRefusal;

void CloseIfConnected()
{
    if (deviceConnected != 0) {
        CloseDevice();
    }
    openedModule = {};
}

// Takes the lock of the module just opened: on its command interface's node,
// through which alone every front end reaches a module, so that two programs
// never share one module whichever of its nodes they were given. Without the
// lock the module is closed again before anything is sent.
void LockOpenedModule(const ModuleInfo& module)
{
    LockHolder holder;
    int lock = -1;
    int error = 0;
    const LockResult result = module.path.empty() ? LockResult::Failed : LockModule(module.path, lock, holder, error);
    if (result == LockResult::Taken) {
        deviceLock = lock;
        openedModule = {module.path, module.serial, module.port};
        return;
    }
    lastLockRefusal = {true, result == LockResult::Held, module.path, holder.pid, holder.program, error};
    CloseDevice();
}

// Lists the modules, chooses the selected one and opens its command
// interface; a choice that names no single module opens nothing.
void OpenController()
{
    lastLockRefusal = {};
    lastOpenAttempt = {};
    lastOpenAttempt.choice = ChooseModule(ListModules(), selected);
    if (lastOpenAttempt.choice.problem == ChoiceProblem::None) {
        const ModuleInfo& module = lastOpenAttempt.choice.module;
        deviceHandle = hid_open_path(module.path.c_str());
        if (deviceHandle != nullptr) {
            lastOpenAttempt.opened = true;
            LockOpenedModule(module);
        } else {
            // Kept at once: any later call may replace them.
            lastOpenAttempt.error = errno;
            lastOpenAttempt.detail = ToUtf8(hid_error(nullptr));
        }
    }
    if (deviceHandle != nullptr) {
        BeginConnection();  // a failed read closes the device again
    }
    deviceConnected = deviceHandle != nullptr ? 1 : 0;
}

}  // namespace

void EnterStartupState()
{
    CloseIfConnected();
    hid_exit();
}

bool ConnectDevice()
{
    CloseIfConnected();
    hid_init();
    OpenController();
    return deviceConnected != 0;
}

RunRecord StartVideoMode()
{
    CloseIfConnected();
    // hid_enumerate initialises the HID library itself when it is not, so this
    // reaches the controller even straight after the start-up hid_exit.
    OpenController();
    return RunCommands(PlanVideoMode(), false);
}

void SelectModule(const ModuleChoice& choice) { selected = choice; }

void SelectModule(const std::wstring& serial)
{
    selected = serial.empty() ? ModuleChoice{} : ModuleChoice{ModuleChoice::By::Serial, ToUtf8(serial.c_str())};
}

const ModuleChoice& SelectedModule() { return selected; }

ModuleChoice ChoiceOf(const OpenModule& module)
{
    return module.port.empty() ? ModuleChoice{ModuleChoice::By::Path, module.path}
                               : ModuleChoice{ModuleChoice::By::Port, module.port};
}

const OpenAttempt& LastOpenAttempt() { return lastOpenAttempt; }

const OpenModule& OpenedModule()
{
    static const OpenModule none;
    return deviceHandle != nullptr ? openedModule : none;
}

const LockRefusal& LastLockRefusal() { return lastLockRefusal; }

void ReleaseDevice()
{
    CloseIfConnected();
    hid_exit();
}

}  // namespace lumora
