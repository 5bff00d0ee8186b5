// What the link and the presets cost, measured against the simulated
// controller in its zero-cost mode (every write succeeds at once, every read
// delivers a fixed acknowledgement), so that the figures are the system's
// own work. The yardstick: a full-speed USB HID link carries one report per
// millisecond each way, so the cost per report should stay below 1 us.
//
// Every benchmark also counts the heap allocations made inside its timed
// loop and fails when there is one: nothing is allocated per command.
#include "connection/connection.h"
#include "link/commands.h"
#include "link/link.h"
#include "patterns/lut.h"
#include "patterns/presets.h"
#include "patterns/sequence.h"
#include "sim/sim_controller.h"
#include "tests/link_reset.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

// Heap allocations, counted at the C allocator, which operator new also goes
// through, while `counting` is set.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
}

namespace {
bool counting = false;
std::size_t allocations = 0;
}  // namespace

extern "C" {
void* malloc(std::size_t size)
{
    allocations += counting ? 1 : 0;
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size)
{
    allocations += counting ? 1 : 0;
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, std::size_t size)
{
    allocations += counting ? 1 : 0;
    return __libc_realloc(pointer, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size)
{
    allocations += counting ? 1 : 0;
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size)
{
    allocations += counting ? 1 : 0;
    *out = __libc_memalign(alignment, size);
    return *out != nullptr ? 0 : ENOMEM;
}
}

namespace {

using namespace lumora;

// A connected link to the zero-cost controller, presets without their pause.
void ZeroCostLink()
{
    ResetLinkState();
    ConnectDevice();
    sim::SetZeroCost(true);
    SetPauseFunction([](int) {});
}

// Times `run`, counts its allocations, and reports the cost per report.
// Fails when the link goes down or, unless told otherwise, when anything is
// allocated.
void Measure(benchmark::State& state, const std::function<void()>& setUp, void (*run)(), int reports,
             bool allocationFree = true)
{
    setUp();
    allocations = 0;
    counting = true;
    for (auto _ : state) {
        run();
    }
    counting = false;
    state.counters["reports"] = reports;
    state.counters["per_report"] = benchmark::Counter(
        static_cast<double>(reports), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["allocs"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
    if (deviceConnected == 0) {
        state.SkipWithError("the link went down during the measurement");
    } else if (allocationFree && allocations != 0) {
        state.SkipWithError("heap allocations per call: must be 0");
    }
    SetPauseFunction(nullptr);
}

// SendCommand for packets of one, two and seven reports: a three-byte
// command, a 31-entry and a 128-entry pattern table.
CommandPacket packet;

void SendPacket() { benchmark::DoNotOptimize(SendCommand(packet)); }

void BM_SendCommand(benchmark::State& state)
{
    const int reports = static_cast<int>(state.range(0));
    const std::size_t payload = reports == 1 ? 3 : reports == 2 ? 93 : 384;
    Measure(
        state,
        [payload] {
            ZeroCostLink();
            PrepareWrite(packet, CommandTable[CmdLutData]);
            packet.length = static_cast<std::uint16_t>(payload + 2);
            for (std::size_t i = 0; i < payload; ++i) {
                packet.payload[i] = static_cast<std::uint8_t>(i);
            }
        },
        SendPacket, reports);
}
BENCHMARK(BM_SendCommand)->ArgName("reports")->Arg(1)->Arg(2)->Arg(7);

// The same one-report command against the recording controller, which joins
// and keeps every report in vectors: a reference for what the simulator
// itself costs, and proof that the allocation counter sees allocations.
void BM_SendCommandRecordingSimulator(benchmark::State& state)
{
    Measure(
        state,
        [] {
            ZeroCostLink();
            sim::SetZeroCost(false);
            PrepareWrite(packet, CommandTable[CmdLutData]);
            packet.length = 5;
        },
        [] {
            SendPacket();
            if (sim::Calls().size() > 100000) {
                sim::ClearRecords();
            }
        },
        1, false);
}
BENCHMARK(BM_SendCommandRecordingSimulator);

// The reports a run makes, counted once against the recording controller.
int ReportsOf(void (*run)())
{
    ResetLinkState();
    ConnectDevice();
    SetPauseFunction([](int) {});
    sim::ClearRecords();
    run();
    SetPauseFunction(nullptr);
    return sim::CallCount("hid_write");
}

void Pause() { benchmark::DoNotOptimize(PauseSequence()); }
void FullFringes() { ProjectFullFringes(10); }
void Range() { ProjectRange(10, 10, 20); }
void OnePicture() { ProjectOnePicture(10, 12); }
void Cross() { ProjectCross(); }

// An operator's own sequence at its largest: 128 entries over 64 images.
const Sequence& LargestSequence()
{
    static const Sequence sequence = [] {
        Sequence s;
        s.exposureUs = s.periodUs = 8333;
        for (int i = 0; i < kMaxSequenceEntries; ++i) {
            s.entries.push_back({.image = static_cast<std::uint8_t>(i / 2), .pattern = static_cast<std::uint8_t>(i % 2)});
        }
        return s;
    }();
    return sequence;
}
void OwnSequence() { RunSequence(LargestSequence(), false); }

void BM_Action(benchmark::State& state, void (*run)())
{
    Measure(state, ZeroCostLink, run, ReportsOf(run));
}
BENCHMARK_CAPTURE(BM_Action, Pause, Pause);
BENCHMARK_CAPTURE(BM_Action, FullFringes, FullFringes);
BENCHMARK_CAPTURE(BM_Action, Range_10_20, Range);
BENCHMARK_CAPTURE(BM_Action, OnePicture, OnePicture);
BENCHMARK_CAPTURE(BM_Action, Cross, Cross);
BENCHMARK_CAPTURE(BM_Action, Sequence128, OwnSequence);

// `lumoractl stop` as a whole process, with the simulated controller
// preloaded in place of hidapi: start-up, connect, one command, exit.
void BM_LumoractlStop(benchmark::State& state)
{
    std::string preload = "LD_PRELOAD=" SIM_PRELOAD_PATH;
    char* const argv[] = {const_cast<char*>(LUMORACTL_PATH), const_cast<char*>("stop"), nullptr};
    char* const envp[] = {preload.data(), nullptr};
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    for (auto _ : state) {
        pid_t child = 0;
        int status = 0;
        if (posix_spawn(&child, LUMORACTL_PATH, &quiet, nullptr, argv, envp) != 0 ||
            waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("lumoractl stop did not exit 0");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&quiet);
}
BENCHMARK(BM_LumoractlStop)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
