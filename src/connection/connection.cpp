#include "connection/connection.h"

#include "connection/module_lock.h"
#include "link/commands.h"
#include "link/link.h"
#include "link/utf8.h"
#include "patterns/plans.h"

#include <hidapi.h>


namespace lumora {

namespace {

std::wstring selectedSerial;
OpenModule openedModule;
LockRefusal lastLockRefusal;

void CloseIfConnected()
{
    if (deviceConnected != 0) {
        CloseDevice();
    }
    openedModule = {};
}

// Takes the lock of the module just opened; without it the module is closed
// again before anything is sent.
void LockOpenedModule()
{
    const hid_device_info* info = hid_get_device_info(deviceHandle);
    LockHolder holder;
    int lock = -1;
    int error = 0;
    const std::string path = info != nullptr && info->path != nullptr ? info->path : "";
    const LockResult result = path.empty() ? LockResult::Failed : LockModule(path, lock, holder, error);
    if (result == LockResult::Taken) {
        deviceLock = lock;
        openedModule = {path, ToUtf8(info->serial_number)};
        return;
    }
    lastLockRefusal = {true, result == LockResult::Held, path, holder.pid, holder.program, error};
    CloseDevice();
}

void OpenController()
{
    lastLockRefusal = {};
    deviceHandle = hid_open(kVendorId, kProductId, selectedSerial.empty() ? nullptr : selectedSerial.c_str());
    if (deviceHandle != nullptr) {
        LockOpenedModule();
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
    // hid_open initialises the HID library itself when it is not, so this
    // reaches the controller even straight after the start-up hid_exit.
    OpenController();
    return RunCommands(PlanVideoMode(), false);
}

void SelectModule(const std::wstring& serial) { selectedSerial = serial; }

const OpenModule& OpenedModule()
{
    static const OpenModule none;
    return deviceHandle != nullptr ? openedModule : none;
}

const LockRefusal& LastLockRefusal() { return lastLockRefusal; }

const std::wstring& SelectedModule() { return selectedSerial; }

void ReleaseDevice()
{
    CloseIfConnected();
    hid_exit();
}

}  // namespace lumora
