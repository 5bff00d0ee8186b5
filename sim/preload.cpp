// Configures the simulated controller from the environment when it is
// preloaded under the unchanged binaries (on Windows: built as a stand-in
// hidapi.dll, put beside the unchanged lumoractl.exe):
//
//   LUMORA_SIM_MODULES=N        modules attached (default 1; 0 = none)
//   LUMORA_SIM_INTERFACES=N     HID interfaces each module shows (default 1)
//   LUMORA_SIM_SERIAL=S         every module carries the serial number S
//   LUMORA_SIM_UHID=1           the modules sit on uhid as lumora-vmodule's do:
//                               no USB device above their nodes, only HID_PHYS
//   LUMORA_SIM_ACCESS=denied|busy   the modules cannot be opened
//   LUMORA_SIM_ACK=ok|error|silent  how writes are acknowledged
//   LUMORA_SIM_STATUS=80,80,00  status bytes for successive status reads (hex)
//   LUMORA_SIM_STATUS_REPLY=normal|silent|empty|error|short
//   LUMORA_SIM_FAIL_WRITE=N     the Nth hid_write fails
//   LUMORA_SIM_FAIL_READ=N      the Nth hid_read_timeout fails
//   LUMORA_SIM_VANISH=N         a module is unplugged after answering N reports
//   LUMORA_SIM_REFUSE=CmdLedCurrent,0x1A24  these commands are refused (name or hex word)
//   LUMORA_SIM_ECHO=0           replies carry sequence byte 0, not their packet's
//   LUMORA_SIM_LATE=3:2500      the reply to packet 3 comes 2500 ms late (N:MS,...)
//   LUMORA_SIM_REPLY_SEQ=3:9    the reply to packet 3 carries sequence byte 9 (N:S,...)
//   LUMORA_SIM_UNPLUG_MS=N      every module is unplugged N ms after the start
//   LUMORA_SIM_REPLUG_MS=N      an unplugged module comes back N ms later
//   LUMORA_SIM_TRACE=1          print each decoded packet to stderr
//   LUMORA_SIM_TRACE=FILE       ... or append it to FILE
//   LUMORA_SIM_READ_DELAY_MS=N  every read takes N ms
//   LUMORA_SIM_REAL_TIMEOUTS=1  a read with no reply waits its whole time-out
//   LUMORA_SIM_ZERO_COST=1      writes succeed at once, reads give a fixed reply (benchmarks)
//   LUMORA_SIM_DIR=DIR          the modules' device nodes, shared between processes
//   LUMORA_SIM_TRANSCRIPT=FILE  append one line per report in each direction
//
// A value that is not one of the words above is named on stderr and the
// default is kept.
//
// A program that has the simulator preloaded (a Python test, through ctypes)
// can call lumora_sim_configure() to read the variables again and start
// afresh; LUMORA_SIM_DIR counts only at load.
#include "sim/host.h"
#include "sim/sim_controller.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace {

const char* Env(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

int EnvInt(const char* name, int fallback)
{
    const char* value = Env(name);
    return value != nullptr ? std::atoi(value) : fallback;
}

bool Is(const char* value, const char* word) { return value != nullptr && std::strcmp(value, word) == 0; }

// The setting the variable names, parsed; the fallback when it is unset or
// not understood.
template <class T>
T EnvSetting(const char* name, std::optional<T> (*parse)(const std::string&), T fallback)
{
    const char* value = Env(name);
    if (value == nullptr) {
        return fallback;
    }
    if (std::optional<T> parsed = parse(value)) {
        return *parsed;
    }
    std::fprintf(stderr, "sim: ignoring %s=%s\n", name, value);
    return fallback;
}

// The files LUMORA_SIM_TRACE and LUMORA_SIM_TRANSCRIPT named, when they did.
std::FILE* traceFile = nullptr;
int transcriptFd = -1;

void ConfigureFromEnvironment()
{
    sim::Reset();
    if (traceFile != nullptr) {
        std::fclose(traceFile);
        traceFile = nullptr;
    }
    if (transcriptFd >= 0) {
        ::close(transcriptFd);
        transcriptFd = -1;
    }

    const char* access = Env("LUMORA_SIM_ACCESS");
    const char* serial = Env("LUMORA_SIM_SERIAL");
    const int interfaces = std::clamp(EnvInt("LUMORA_SIM_INTERFACES", 1), 1, sim::kMaxInterfaces);
    std::vector<sim::Module> modules = sim::LayoutModules(EnvInt("LUMORA_SIM_MODULES", 1), interfaces,
                                                          serial != nullptr ? serial : "", Is(Env("LUMORA_SIM_UHID"), "1"));
    for (sim::Module& module : modules) {
        module.access = Is(access, "denied") ? sim::Access::Denied
                        : Is(access, "busy") ? sim::Access::Busy
                                             : sim::Access::Ok;
    }
    sim::SetModules(modules);
    sim::ReplugAfter(std::chrono::milliseconds(EnvInt("LUMORA_SIM_REPLUG_MS", 0)));
    sim::UnplugAfter(std::chrono::milliseconds(EnvInt("LUMORA_SIM_UNPLUG_MS", 0)));

    sim::SetAckMode(EnvSetting("LUMORA_SIM_ACK", sim::ParseAckMode, sim::AckMode::Ok));
    sim::SetStatusReply(EnvSetting("LUMORA_SIM_STATUS_REPLY", sim::ParseStatusReply, sim::StatusReply::Normal));
    sim::SetStatusSeries(EnvSetting("LUMORA_SIM_STATUS", sim::ParseStatusSeries, std::vector<std::uint8_t>{0x00}));
    sim::VanishAfter(EnvInt("LUMORA_SIM_VANISH", 0));
    for (const std::uint16_t word : EnvSetting("LUMORA_SIM_REFUSE", sim::ParseCommandWords, {})) {
        sim::RefuseCommand(word);
    }
    sim::SetEcho(!Is(Env("LUMORA_SIM_ECHO"), "0"));
    for (const sim::ReplyFault& fault : EnvSetting("LUMORA_SIM_LATE", sim::ParseLateReplies, {})) {
        sim::LateReply(fault.packet, fault.late);
    }
    for (const sim::ReplyFault& fault : EnvSetting("LUMORA_SIM_REPLY_SEQ", sim::ParseReplySequences, {})) {
        sim::ReplySequence(fault.packet, *fault.sequence);
    }

    sim::FailWriteAt(EnvInt("LUMORA_SIM_FAIL_WRITE", 0));
    sim::FailReadAt(EnvInt("LUMORA_SIM_FAIL_READ", 0));
    sim::SetReadDelay(std::chrono::milliseconds(EnvInt("LUMORA_SIM_READ_DELAY_MS", 0)));
    sim::SetRealTimeouts(Is(Env("LUMORA_SIM_REAL_TIMEOUTS"), "1"));
    sim::SetZeroCost(Is(Env("LUMORA_SIM_ZERO_COST"), "1"));
    // Both files are kept open until the next configuration; the process's
    // exit closes them.
    if (const char* trace = Env("LUMORA_SIM_TRACE"); Is(trace, "1")) {
        sim::SetTrace(stderr);
    } else if (trace != nullptr) {
        traceFile = sim::OpenTraceFile(trace);
        sim::SetTrace(traceFile);
    }
    if (const char* transcript = Env("LUMORA_SIM_TRANSCRIPT")) {
        transcriptFd = sim::OpenForAppending(transcript);
        if (transcriptFd < 0) {
            std::fprintf(stderr, "sim: cannot write the transcript %s\n", transcript);
        }
        sim::SetTranscript(transcriptFd);
    }
}

__attribute__((constructor)) void ConfigureAtLoad() { ConfigureFromEnvironment(); }

}  // namespace

// Reads the LUMORA_SIM_* variables again, as at load: the simulator starts
// afresh (sim::Reset), so no module may be open.
#ifdef _WIN32
#define LUMORA_SIM_EXPORT __declspec(dllexport)
#else
#define LUMORA_SIM_EXPORT __attribute__((visibility("default")))
#endif
extern "C" LUMORA_SIM_EXPORT void lumora_sim_configure() { ConfigureFromEnvironment(); }
