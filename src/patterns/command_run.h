// A command run written down as data: the steps of one action, in order.
// Every action is one: the presets, video mode, pause, stop, the LED
// currents and the operator's own sequences. RunCommands sends the steps and
// ListCommands shows the packets they make; both walk the same expansion of
// each step into packets, so that a listing shown before a run is exactly
// what the run sends.
//
// A run is a fixed-size value built on the caller's stack; sending it
// allocates nothing, and neither does the record it returns.
#pragma once

#include "link/commands.h"
#include "patterns/lut.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace lumora {

inline constexpr std::size_t kMaxStepPayload = 8;  // CmdExposurePeriod's, the longest fixed payload
inline constexpr int kMaxRunSteps = 32;
inline constexpr int kStartPauseMs = 1000;  // before the start command is repeated
inline constexpr int kRepeatedStarts = 7;   // starts after the pause, eight in all

enum class StepKind : std::uint8_t {
    Command,           // one write of `command`; its payload is the first payload-length bytes of `payload`
    PatternLutUpload,  // the run's pattern words into PatternLut, then open, offset 0, data, close;
                       // a failed open ends the step
    ImageLutUpload,    // the run's image list: open, offset 0, data, close, whatever each gives
    ValidateLuts,      // the controller's check of both tables, polled until it is no longer busy
    StartGate,         // the steps after it go out only when the check gave status 0, or the run is started anyway
    Pause,             // kStartPauseMs through the pause function
};

struct RunStep {
    StepKind kind;
    CommandId command;
    std::uint8_t payload[kMaxStepPayload];
    // ImageLutUpload: a list of exactly two images goes out exchanged, as the
    // presets' controller takes it; any other list goes out in list order.
    bool exchangeTwoImages;
};

// The two tables that a run's upload steps send.
struct LutTables {
    std::uint32_t words[kPatternLutCapacity];
    int wordCount;
    std::uint8_t images[kImageLutCapacity];
    int imageCount;
};

struct CommandRun {
    RunStep steps[kMaxRunSteps];
    int count = 0;
    LutTables tables{};  // for the upload steps

    // Appends one write; the payload's size must be the command's table
    // payload length.
    void Command(CommandId id, std::span<const std::uint8_t> payload);
    void Command(CommandId id, std::uint8_t value);
    // Appends a step that is not a plain command.
    void Add(StepKind kind);
};

// Appends the start tail: LEDs switched by the sequencer, PWM polarity
// normal, the three LED currents, all LEDs on, start; then, for a repeating
// sequence, the pause and seven more starts. A sequence that runs once gets
// its one start only: each start would run it again.
void AppendStartTail(CommandRun& run, std::uint8_t red, std::uint8_t green, std::uint8_t blue, bool repeating = true);

// What the controller's check of the tables came to.
enum class TableVerdict : std::uint8_t {
    None,        // the run checks no tables, or did not get as far
    Accepted,    // status 0
    Rejected,    // a status other than 0, in `status`
    NoAnswer,    // the check could not be started, or a poll got no valid reply
    StayedBusy,  // the busy bit outlasted the poll bound
};

inline constexpr int kMaxRunPackets = 48;

// One packet of a run as it went. A status request polled several times is
// one packet; its reports count every poll.
struct PacketRecord {
    CommandId command;
    bool readRequest;
    PacketResult result;
    std::uint16_t reports;  // reports written and read for it
    int bytes;              // SendCommand's result (-1 when it failed or was not sent)
    std::uint16_t staleReports = 0;  // reports that were not its reply (lastPacket's count)
};

// What running a plan did, packet by packet: all that a front end needs to
// say what happened.
struct RunRecord {
    PacketRecord packets[kMaxRunPackets]{};
    int count = 0;                // packets the run came to, in order; none behind a closed gate
    bool invalid = false;         // the arguments broke their rules, or do not fit the tables; nothing was sent
    bool gateClosed = false;      // the check did not accept the tables: nothing behind the gate went out
    bool startsSequence = false;  // the plan holds a start command
    bool started = false;         // a start command went out and was not refused
    bool cancelled = false;       // the action was cancelled: nothing after that went out
    TableVerdict verdict = TableVerdict::None;
    std::uint8_t status = 0;      // the final status byte, when the verdict is Accepted or Rejected
    int linkFailedAt = -1;        // the packet at which the link failed, or -1
    int staleReports = 0;         // reports that were no packet's reply: read away before a
                                  // write, or passed over as another packet's

    // Packets with this result.
    int CountOf(PacketResult result) const;
    // The first packet with this result, or -1.
    int FirstOf(PacketResult result) const;
};

// Sends every step in order whatever the results of the steps before it, as
// the presets do, except that the steps behind the start gate go out only
// when the check returned status 0 or startAnyway is set, and that nothing
// more goes out (the pause included) once the action is cancelled
// (RequestCancel). Returns the
// record; what the check said is also left in lastLutValidation.
RunRecord RunCommands(const CommandRun& run, bool startAnyway);

// One packet of a listed run, with where it stands.
struct RunListingLine {
    ListedPacket packet;
    bool behindGate;  // goes out only when the tables were accepted, or the run is started anyway
    bool afterPause;  // the pause comes just before this packet
};

// The packets RunCommands sends when every step succeeds and the gate opens,
// in order. Returns them without sending anything.
std::vector<RunListingLine> ListCommands(const CommandRun& run);

// The pause of a run goes through this function; tests replace it to stay
// fast. nullptr restores the real pause.
using PauseFunction = void (*)(int milliseconds);
void SetPauseFunction(PauseFunction pause);

// True while a run waits out that pause; may be read from any thread.
bool InStartPause();

}  // namespace lumora
