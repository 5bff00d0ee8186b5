#include "connection/connection.h"

#include "link/commands.h"
#include "link/link.h"

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

void CloseIfConnected()
{
    if (deviceConnected != 0) {
        hid_close(deviceHandle);
        deviceHandle = nullptr;
        deviceConnected = 0;
    }
}

void OpenController()
{
    deviceHandle = hid_open(kVendorId, kProductId, selectedSerial.empty() ? nullptr : selectedSerial.c_str());
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

const std::wstring& SelectedModule() { return selectedSerial; }

void ReleaseDevice()
{
    CloseIfConnected();
    hid_exit();
}

}  // namespace lumora
