#include "patterns/command_run.h"

#include <atomic>
#include <cassert>
#include <chrono>
#include <cstring>
#include <thread>

namespace lumora {

namespace {

constexpr std::uint8_t kLedsSequencer = 0x08;  // LEDs switched by the sequencer
constexpr std::uint8_t kLedsAllOn = 0x0F;      // red, green, blue and the sequencer
constexpr std::uint8_t kPolarityNormal = 0;

PauseFunction pauseFunction = nullptr;
std::atomic<bool> inStartPause = false;

void Pause(int milliseconds)
{
    inStartPause.store(true, std::memory_order_relaxed);
    if (pauseFunction != nullptr) {
        pauseFunction(milliseconds);
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    inStartPause.store(false, std::memory_order_relaxed);
}

RunStep& NextStep(CommandRun& run)
{
    // Runs have a fixed shape well inside the capacity.
    assert(run.count < kMaxRunSteps);
    RunStep& step = run.steps[run.count++];
    step = RunStep{};
    return step;
}

std::span<const std::uint8_t> PayloadOf(const RunStep& step)
{
    return {step.payload, CommandTable[step.command].payloadLength};
}

}  // namespace

void SetPauseFunction(PauseFunction pause) { pauseFunction = pause; }

bool InStartPause() { return inStartPause.load(std::memory_order_relaxed); }

void CommandRun::Command(CommandId id, std::span<const std::uint8_t> payload)
{
    assert(payload.size() == CommandTable[id].payloadLength && payload.size() <= kMaxStepPayload);
    RunStep& step = NextStep(*this);
    step.kind = StepKind::Command;
    step.command = id;
    std::memcpy(step.payload, payload.data(), payload.size());
}

void CommandRun::Command(CommandId id, std::uint8_t value)
{
    const std::uint8_t payload[] = {value};
    Command(id, payload);
}

void CommandRun::Add(StepKind kind) { NextStep(*this).kind = kind; }

void AppendStartTail(CommandRun& run, std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    const std::uint8_t currents[] = {red, green, blue};
    run.Command(CmdLedEnable, kLedsSequencer);
    run.Command(CmdLedPwmPolarity, kPolarityNormal);
    run.Command(CmdLedCurrent, currents);
    run.Command(CmdLedEnable, kLedsAllOn);
    run.Command(CmdPatternStartStop, kSequenceStart);
    run.Add(StepKind::Pause);
    for (int i = 0; i < kRepeatedStarts; ++i) {
        run.Command(CmdPatternStartStop, kSequenceStart);
    }
}

bool RunCommands(const CommandRun& run, bool startAnyway)
{
    bool accepted = false;
    for (int i = 0; i < run.count; ++i) {
        const RunStep& step = run.steps[i];
        switch (step.kind) {
        case StepKind::Command:
            SendFixedCommand(step.command, PayloadOf(step));
            break;
        case StepKind::PatternLutUpload:
            if (run.tables != nullptr) {
                const int count = run.tables->wordCount;
                if (count >= 0 && count <= kPatternLutCapacity) {
                    std::memcpy(PatternLut.entries, run.tables->words,
                                sizeof(std::uint32_t) * static_cast<std::size_t>(count));
                }
                // UploadPatternLut sends nothing for a count beyond the table.
                PatternLut.count = static_cast<std::uint32_t>(count);
                UploadPatternLut();
            }
            break;
        case StepKind::ImageLutUpload:
            if (run.tables != nullptr) {
                UploadImageLutInOrder(run.tables->imageCount, run.tables->images);
            }
            break;
        case StepKind::ValidateLuts: {
            int status = 0;
            accepted = WaitLutValid(status) == 0 && status == 0;
            break;
        }
        case StepKind::StartGate:
            if (!startAnyway && !accepted) {
                return false;
            }
            break;
        case StepKind::Pause:
            Pause(kStartPauseMs);
            break;
        }
    }
    return true;
}

std::vector<RunListingLine> ListCommands(const CommandRun& run)
{
    std::vector<RunListingLine> lines;
    std::vector<ListedPacket> packets;
    bool behindGate = false;
    bool afterPause = false;
    for (int i = 0; i < run.count; ++i) {
        const RunStep& step = run.steps[i];
        packets.clear();
        switch (step.kind) {
        case StepKind::Command: {
            const std::span<const std::uint8_t> payload = PayloadOf(step);
            packets.push_back({step.command, false, {payload.begin(), payload.end()}});
            break;
        }
        case StepKind::PatternLutUpload:
            if (run.tables != nullptr) {
                ListPatternLutUpload(run.tables->words, run.tables->wordCount, packets);
            }
            break;
        case StepKind::ImageLutUpload:
            if (run.tables != nullptr) {
                ListImageLutUploadInOrder(run.tables->images, run.tables->imageCount, packets);
            }
            break;
        case StepKind::ValidateLuts:
            ListLutValidation(packets);
            break;
        case StepKind::StartGate:
            behindGate = true;
            break;
        case StepKind::Pause:
            afterPause = true;
            break;
        }
        for (ListedPacket& packet : packets) {
            lines.push_back({std::move(packet), behindGate, afterPause});
            afterPause = false;
        }
    }
    return lines;
}

}  // namespace lumora
