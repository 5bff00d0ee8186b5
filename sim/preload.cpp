// Configures the simulated controller from the environment when it is
// preloaded under the unchanged binaries:
//
//   LUMORA_SIM_MODULES=N        modules attached (default 1; 0 = none)
//   LUMORA_SIM_ACCESS=denied|busy   the modules cannot be opened
//   LUMORA_SIM_ACK=ok|error|silent  how writes are acknowledged
//   LUMORA_SIM_STATUS=80,80,00  status bytes for successive status reads (hex)
//   LUMORA_SIM_STATUS_REPLY=normal|silent|empty|error|short
//   LUMORA_SIM_FAIL_WRITE=N     the Nth hid_write fails
//   LUMORA_SIM_FAIL_READ=N      the Nth hid_read_timeout fails
//   LUMORA_SIM_TRACE=1          print each decoded packet to stderr
//   LUMORA_SIM_TRACE=FILE       ... or append it to FILE
//   LUMORA_SIM_READ_DELAY_MS=N  every read takes N ms
//   LUMORA_SIM_REAL_TIMEOUTS=1  a read with no reply waits its whole time-out
//   LUMORA_SIM_DIR=DIR          the modules' device nodes, shared between processes
#include "sim/sim_controller.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

__attribute__((constructor)) void ConfigureFromEnvironment()
{
    sim::Reset();

    std::vector<sim::Module> modules;
    const int count = EnvInt("LUMORA_SIM_MODULES", 1);
    const char* access = Env("LUMORA_SIM_ACCESS");
    for (int i = 0; i < count; ++i) {
        sim::Module module = sim::DefaultModule(i);
        module.access = Is(access, "denied") ? sim::Access::Denied
                        : Is(access, "busy") ? sim::Access::Busy
                                             : sim::Access::Ok;
        modules.push_back(module);
    }
    sim::SetModules(modules);

    const char* ack = Env("LUMORA_SIM_ACK");
    sim::SetAckMode(Is(ack, "error") ? sim::AckMode::ErrorFlag
                    : Is(ack, "silent") ? sim::AckMode::Silent
                                        : sim::AckMode::Ok);

    const char* reply = Env("LUMORA_SIM_STATUS_REPLY");
    sim::SetStatusReply(Is(reply, "silent")  ? sim::StatusReply::Silent
                        : Is(reply, "empty") ? sim::StatusReply::Empty
                        : Is(reply, "error") ? sim::StatusReply::ErrorFlag
                        : Is(reply, "short") ? sim::StatusReply::Short
                                             : sim::StatusReply::Normal);

    if (const char* status = Env("LUMORA_SIM_STATUS")) {
        std::vector<std::uint8_t> series;
        for (const char* at = status; *at != '\0';) {
            char* end = nullptr;
            series.push_back(static_cast<std::uint8_t>(std::strtoul(at, &end, 16)));
            at = *end == ',' ? end + 1 : end + std::strlen(end);
        }
        sim::SetStatusSeries(series);
    }

    sim::FailWriteAt(EnvInt("LUMORA_SIM_FAIL_WRITE", 0));
    sim::FailReadAt(EnvInt("LUMORA_SIM_FAIL_READ", 0));
    sim::SetReadDelay(std::chrono::milliseconds(EnvInt("LUMORA_SIM_READ_DELAY_MS", 0)));
    sim::SetRealTimeouts(Is(Env("LUMORA_SIM_REAL_TIMEOUTS"), "1"));
    if (const char* trace = Env("LUMORA_SIM_TRACE"); Is(trace, "1")) {
        sim::SetTrace(stderr);
    } else if (trace != nullptr) {
        // Kept open for the life of the process; the process's exit closes it.
        if (std::FILE* file = std::fopen(trace, "ae")) {
            sim::SetTrace(file);
        }
    }
}

}  // namespace
