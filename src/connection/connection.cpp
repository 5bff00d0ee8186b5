#include "connection/connection.h"

#include "connection/module_lock.h"
#include "link/commands.h"
#include "link/link.h"
#include "link/utf8.h"

#include <hidapi.h>

#include <array>

namespace lumora {

namespace {

constexpr std::uint8_t kDelay = 0xBB;

struct VideoModeStep {
    CommandId command;
    std::array<std::uint8_t, 4> payload;  // the first payloadLength bytes go out
};

// The video-mode start-up settings, in the order they are sent.
constexpr VideoModeStep kVideoModeSequence[] = {
    {CmdLongAxisFlip, {0x00}},
    {CmdShortAxisFlip, {0x01}},
    {CmdDisplayMode, {0x00}},
    {CmdTrigIn1Delay, {0x01, 0x00, 0x00, 0x00}},
    {CmdTrigOut1, {0x00, kDelay, kDelay}},
    {CmdTrigOut2, {0x00, kDelay}},
    {CmdRedDelay, {kDelay, kDelay}},
    {CmdGreenDelay, {kDelay, kDelay}},
    {CmdBlueDelay, {kDelay, kDelay}},
    {CmdLedEnable, {0x08}},
    {CmdLedPwmPolarity, {0x00}},
    {CmdLedCurrent, {kLedCurrent, kLedCurrent, kLedCurrent}},
    {CmdDisplayMode, {0x00}},
    {CmdInputSource, {0x02}},
    {CmdImageLoad, {0x00}},
    {CmdPortClock, {0x00}},
    {CmdPixelFormat, {0x00}},
    {CmdFpdMode, {0xC9}},
};

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
    int fd = -1;
    int error = 0;
    const std::string path = info != nullptr && info->path != nullptr ? info->path : "";
    const LockResult result = path.empty() ? LockResult::Failed : LockModule(path, fd, holder, error);
    if (result == LockResult::Taken) {
        deviceLock = fd;
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

void StartVideoMode()
{
    CloseIfConnected();
    // hid_open initialises the HID library itself when it is not, so this
    // reaches the controller even straight after the start-up hid_exit.
    OpenController();
    for (const VideoModeStep& step : kVideoModeSequence) {
        SendFixedCommand(step.command, std::span(step.payload.data(), CommandTable[step.command].payloadLength));
    }
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
