#include "patterns/command_run.h"

#include <algorithm>
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
constexpr std::uint8_t kTableStart = 0;  // every upload writes from the start of the table
constexpr std::uint8_t kStartCheck = 0;  // CmdValidate's payload as a write
constexpr std::uint8_t kBusy = 0x80;     // status bit: the check is still running
constexpr std::size_t kBytesPerPatternEntry = 3;

PauseFunction pauseFunction = nullptr;
std::atomic<bool> inStartPause = false;

void Pause(int milliseconds)
{
    inStartPause.store(true, std::memory_order_relaxed);
    if (pauseFunction != nullptr) {
        pauseFunction(milliseconds);
    } else {
        // In slices, so that a cancelled action does not sit out the pause.
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        for (auto now = std::chrono::steady_clock::now(); now < end && !CancelRequested();
             now = std::chrono::steady_clock::now()) {
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
                end - now, std::chrono::milliseconds(kReadSliceMs)));
        }
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

// One packet that a step makes.
struct PlannedPacket {
    CommandId command;
    bool readRequest;  // the status request, polled while the controller is busy
    const std::uint8_t* payload;
    std::size_t size;
    bool endsStepOnFailure;  // the rest of the step is not sent when this packet fails
};

// Calls visit with each packet of the step, in order; what becomes of a
// packet is the visitor's business.
template <class Visit>
void ExpandStep(const CommandRun& run, const RunStep& step, Visit&& visit)
{
    const LutTables& tables = run.tables;
    switch (step.kind) {
    case StepKind::Command:
        visit(PlannedPacket{step.command, false, step.payload, CommandTable[step.command].payloadLength, false});
        break;
    case StepKind::PatternLutUpload: {
        const int count = tables.wordCount;
        if (count < 0 || count > kPatternLutCapacity) {
            break;  // a table that cannot hold the words sends nothing
        }
        // 3 bytes per word, least significant first.
        std::uint8_t bytes[kPatternLutCapacity * kBytesPerPatternEntry];
        for (int i = 0; i < count; ++i) {
            for (std::size_t k = 0; k < kBytesPerPatternEntry; ++k) {
                bytes[kBytesPerPatternEntry * static_cast<std::size_t>(i) + k] =
                    static_cast<std::uint8_t>(tables.words[i] >> (8 * k));
            }
        }
        visit(PlannedPacket{CmdLutAccess, false, &kOpenPatternLut, 1, true});
        visit(PlannedPacket{CmdLutOffset, false, &kTableStart, 1, false});
        visit(PlannedPacket{CmdLutData, false, bytes, kBytesPerPatternEntry * static_cast<std::size_t>(count), false});
        visit(PlannedPacket{CmdLutAccess, false, &kCloseLut, 1, false});
        break;
    }
    case StepKind::ImageLutUpload: {
        const int count = tables.imageCount;
        if (count < 1 || count > kImageLutCapacity) {
            break;  // an empty list, or one the table cannot hold, sends nothing
        }
        const std::uint8_t exchanged[] = {tables.images[1], tables.images[0]};
        const std::uint8_t* images = step.exchangeTwoImages && count == 2 ? exchanged : tables.images;
        visit(PlannedPacket{CmdLutAccess, false, &kOpenImageLut, 1, false});  // a failed open does not stop the upload
        visit(PlannedPacket{CmdLutOffset, false, &kTableStart, 1, false});
        visit(PlannedPacket{CmdLutData, false, images, static_cast<std::size_t>(count), false});
        visit(PlannedPacket{CmdLutAccess, false, &kCloseLut, 1, false});
        break;
    }
    case StepKind::ValidateLuts:
        visit(PlannedPacket{CmdValidate, false, &kStartCheck, 1, true});
        visit(PlannedPacket{CmdValidate, true, nullptr, 0, false});
        break;
    case StepKind::StartGate:
    case StepKind::Pause:
        break;
    }
}

int SendPlanned(const PlannedPacket& planned)
{
    CommandPacket packet;
    PrepareWrite(packet, CommandTable[planned.command]);
    // The table's length, except for the look-up-table data, whose upload sets it.
    packet.length = static_cast<std::uint16_t>(planned.size + 2);
    if (planned.size > 0) {
        std::memcpy(packet.payload, planned.payload, planned.size);
    }
    return SendCommand(packet);
}

// The status read request, straight into the OutputReport: read request with
// reply wanted, sequence 0, length 2, command word 0x1A1A.
//   00 C0 00 02 00 1A 1A, then zeros
void WriteStatusRequest()
{
    const CommandEntry& validate = CommandTable[CmdValidate];
    std::memset(OutputReport, 0, kReportSize);
    OutputReport[kFlagsAt] = kReadRequestFlags;
    OutputReport[kSequenceAt] = 0;
    OutputReport[kLengthAt] = 2;
    OutputReport[kLengthAt + 1] = 0;
    OutputReport[kFirstBodyAt] = validate.code;
    OutputReport[kFirstBodyAt + 1] = validate.group;
}

// Polls the status until its busy bit clears, a poll fails, or the bound
// passes; the same request goes out again meanwhile, so that a controller
// that stays busy cannot hold the operator's action forever.
void PollStatus(RunRecord& record, PacketRecord& packet)
{
    WriteStatusRequest();
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const int read = Transact();
        packet.result = lastPacket.result;
        packet.reports = static_cast<std::uint16_t>(packet.reports + lastPacket.reportsWritten + lastPacket.reportsRead);
        packet.staleReports = static_cast<std::uint16_t>(packet.staleReports + lastPacket.staleReports);
        record.staleReports += lastPacket.staleReports;
        if (read <= 0) {
            record.verdict = TableVerdict::NoAnswer;
            return;
        }
        const std::uint8_t reply = InputReport[kReplyDataAt];
        if ((reply & kBusy) == 0) {
            record.status = reply;
            record.verdict = reply == 0 ? TableVerdict::Accepted : TableVerdict::Rejected;
            lastLutValidation.result = 0;
            lastLutValidation.status = reply;
            return;
        }
        if (std::chrono::steady_clock::now() - start >= StatusPollBound()) {
            record.verdict = TableVerdict::StayedBusy;
            lastLutValidation.gaveUp = true;
            return;
        }
    }
}

bool IsStart(const RunStep& step)
{
    return step.kind == StepKind::Command && step.command == CmdPatternStartStop && step.payload[0] == kSequenceStart;
}

bool StartsSequence(const CommandRun& run)
{
    return std::any_of(run.steps, run.steps + run.count, IsStart);
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

void AppendStartTail(CommandRun& run, std::uint8_t red, std::uint8_t green, std::uint8_t blue, bool repeating)
{
    const std::uint8_t currents[] = {red, green, blue};
    run.Command(CmdLedEnable, kLedsSequencer);
    run.Command(CmdLedPwmPolarity, kPolarityNormal);
    run.Command(CmdLedCurrent, currents);
    run.Command(CmdLedEnable, kLedsAllOn);
    run.Command(CmdPatternStartStop, kSequenceStart);
    if (!repeating) {
        return;
    }
    run.Add(StepKind::Pause);
    for (int i = 0; i < kRepeatedStarts; ++i) {
        run.Command(CmdPatternStartStop, kSequenceStart);
    }
}

int RunRecord::CountOf(PacketResult result) const
{
    int n = 0;
    for (int i = 0; i < count; ++i) {
        n += packets[i].result == result ? 1 : 0;
    }
    return n;
}

int RunRecord::FirstOf(PacketResult result) const
{
    for (int i = 0; i < count; ++i) {
        if (packets[i].result == result) {
            return i;
        }
    }
    return -1;
}

RunRecord RunCommands(const CommandRun& run, bool startAnyway)
{
    RunRecord record;
    record.startsSequence = StartsSequence(run);
    for (int i = 0; i < run.count; ++i) {
        const RunStep& step = run.steps[i];
        record.cancelled = record.cancelled || CancelRequested();
        switch (step.kind) {
        case StepKind::StartGate:
            if (!startAnyway && record.verdict != TableVerdict::Accepted) {
                record.gateClosed = true;
                return record;
            }
            continue;
        case StepKind::Pause:
            if (!record.cancelled) {
                Pause(kStartPauseMs);
            }
            continue;
        case StepKind::PatternLutUpload:
            if (const int count = run.tables.wordCount; count >= 0 && count <= kPatternLutCapacity) {
                std::memcpy(PatternLut.entries, run.tables.words, sizeof(std::uint32_t) * static_cast<std::size_t>(count));
            }
            PatternLut.count = static_cast<std::uint32_t>(run.tables.wordCount);
            break;
        case StepKind::ValidateLuts:
            lastLutValidation = {true, -1, 0, false};
            break;
        case StepKind::Command:
        case StepKind::ImageLutUpload:
            break;
        }
        bool stepEnded = false;
        ExpandStep(run, step, [&](const PlannedPacket& planned) {
            assert(record.count < kMaxRunPackets);
            const int at = record.count++;
            PacketRecord& packet = record.packets[at];
            packet = {planned.command, planned.readRequest, PacketResult::NotSent, 0, -1, 0};
            record.cancelled = record.cancelled || CancelRequested();
            if (record.cancelled) {
                packet.result = PacketResult::Cancelled;
                return;
            }
            if (stepEnded) {
                return;
            }
            if (planned.readRequest) {
                PollStatus(record, packet);
            } else {
                packet.bytes = SendPlanned(planned);
                packet.result = lastPacket.result;
                packet.reports = static_cast<std::uint16_t>(lastPacket.reportsWritten + lastPacket.reportsRead);
                packet.staleReports = lastPacket.staleReports;
                record.staleReports += lastPacket.staleReports;
            }
            record.cancelled = record.cancelled || packet.result == PacketResult::Cancelled;
            if (packet.result == PacketResult::LinkFailed && record.linkFailedAt < 0) {
                record.linkFailedAt = at;
            }
            const bool through = planned.readRequest ? record.verdict != TableVerdict::NoAnswer : packet.bytes >= 0;
            if (!through && planned.endsStepOnFailure) {
                stepEnded = true;
                if (planned.command == CmdValidate) {
                    record.verdict = TableVerdict::NoAnswer;  // the check could not be started
                }
            }
            record.started = record.started || (IsStart(step) && WentOut(packet.result));
        });
    }
    return record;
}

std::vector<RunListingLine> ListCommands(const CommandRun& run)
{
    std::vector<RunListingLine> lines;
    bool behindGate = false;
    bool afterPause = false;
    for (int i = 0; i < run.count; ++i) {
        const RunStep& step = run.steps[i];
        behindGate = behindGate || step.kind == StepKind::StartGate;
        afterPause = afterPause || step.kind == StepKind::Pause;
        ExpandStep(run, step, [&](const PlannedPacket& planned) {
            lines.push_back({{planned.command, planned.readRequest, {planned.payload, planned.payload + planned.size}},
                             behindGate,
                             afterPause});
            afterPause = false;
        });
    }
    return lines;
}

}  // namespace lumora
