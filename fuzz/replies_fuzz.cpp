// Arbitrary hidapi results and controller replies, fed through every operator
// action.
//
// Input: byte 0 picks the action (0 video mode, 1 pause, 2 stop, 3 full
// fringes, 4 range, 5 one picture, 6 cross, 7 all of them in turn). The rest
// is a script that answers the action's hidapi calls one after the other
// (the reads that take away what waits before each packet among them):
//
//   each hid_write takes one byte:  0 fails (-1), 1 writes nothing (0),
//                                   2 reports the count in the next byte,
//                                   else the controller takes the report
//   each hid_read_timeout takes one byte:  0 fails (-1), 1 times out (0),
//                                   2 delivers a reply: the next byte is the
//                                     count (cut to 65), then that many bytes,
//                                   else the controller answers as usual
//
// Once the input runs out the controller answers everything, so no input can
// keep an action running longer than its own length.
//
// Every run must leave the link consistent: nothing touches a closed handle,
// a failed call is followed at once by the close of its handle, and the link
// state agrees with what the controller has open.
#include "connection/connection.h"
#include "link/commands.h"
#include "link/link.h"
#include "patterns/lut.h"
#include "patterns/presets.h"
#include "sim/sim_controller.h"
#include "tests/link_reset.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using namespace lumora;

// The unread rest of the input.
struct Script {
    const std::uint8_t* at = nullptr;
    std::size_t left = 0;

    bool Take(std::uint8_t& byte)
    {
        if (left == 0) {
            return false;
        }
        byte = *at++;
        --left;
        return true;
    }
};
Script script;

int ScriptedWrite(std::size_t length)
{
    std::uint8_t kind = 0;
    if (!script.Take(kind)) {
        return sim::kControllerAnswer;
    }
    switch (kind) {
    case 0:
        return -1;
    case 1:
        return 0;
    case 2: {
        std::uint8_t count = static_cast<std::uint8_t>(length);
        script.Take(count);
        return count;
    }
    default:
        return sim::kControllerAnswer;
    }
}

int ScriptedRead(std::uint8_t* data, std::size_t length)
{
    std::uint8_t kind = 0;
    if (!script.Take(kind)) {
        return sim::kControllerAnswer;
    }
    switch (kind) {
    case 0:
        return -1;
    case 1:
        return 0;
    case 2: {
        std::uint8_t count = 0;
        script.Take(count);
        std::size_t filled = 0;
        for (std::uint8_t byte = 0; filled < count && filled < length && script.Take(byte); ++filled) {
            data[filled] = byte;
        }
        // hidapi reports what it delivered; a count beyond the buffer is the
        // simulated controller's to cut.
        return filled < count && filled < length ? static_cast<int>(filled) : count;
    }
    default:
        return sim::kControllerAnswer;
    }
}

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "replies fuzz: %s\n", what);
    for (const std::string& violation : sim::Violations()) {
        std::fprintf(stderr, "  %s\n", violation.c_str());
    }
    std::abort();
}

void RunAction(int action)
{
    switch (action) {
    case 0:
        StartVideoMode();
        break;
    case 1:
    case 2: {
        const int result = action == 1 ? PauseSequence() : StopSequence();
        // One report of 3 body bytes: 4 + 3 carried, or a failure.
        if (result != -1 && result != 7) {
            Fail("pause or stop returned neither -1 nor 7");
        }
        break;
    }
    case 3:
        ProjectFullFringes(10);
        break;
    case 4:
        ProjectRange(10, 10, 20);
        break;
    case 5:
        ProjectOnePicture(10, 12);
        break;
    default:
        ProjectCross();
        break;
    }
}

void CheckLink()
{
    if (!sim::Violations().empty()) {
        Fail("the simulated controller saw a misuse");
    }
    if ((deviceConnected != 0) != (deviceHandle != nullptr)) {
        Fail("deviceConnected and deviceHandle disagree");
    }
    if (sim::OpenHandleCount() != deviceConnected) {
        Fail("the controller's open handles differ from the link state");
    }
    const std::vector<sim::Call>& calls = sim::Calls();
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const sim::Call& call = calls[i];
        if ((call.function == "hid_write" || call.function == "hid_read_timeout") && call.result == -1) {
            if (i + 1 == calls.size() || calls[i + 1].function != "hid_close" || calls[i + 1].handle != call.handle) {
                Fail("a failed call was not followed at once by the close of its handle");
            }
        }
    }
    const LutValidation& check = lastLutValidation;
    if (check.attempted && check.result == 0 && (check.status & 0x80) != 0) {
        Fail("the look-up-table check ended with the busy bit set");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    ResetLinkState();
    sim::ReleaseClosedHandles();
    SetPauseFunction([](int) {});
    // The script cannot keep the controller busy beyond its length; the bound
    // is only a backstop.
    SetStatusPollBound(std::chrono::milliseconds(100));
    script = Script{data + 1, size - 1};

    if (!ConnectDevice()) {
        Fail("the simulated controller could not be opened");
    }
    // The script answers the action's calls, from the first read away before
    // its first write.
    sim::SetReadScript(ScriptedRead);
    sim::SetWriteScript(ScriptedWrite);
    const int action = data[0] % 8;
    if (action == 7) {
        for (int each = 0; each < 7; ++each) {
            RunAction(each);
            CheckLink();
        }
    } else {
        RunAction(action);
    }
    CheckLink();
    return 0;
}
