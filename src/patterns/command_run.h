// A command run written down as data: the steps of one action, in order.
// RunCommands sends the steps and ListCommands shows the packets they make,
// so that a listing shown before a run is exactly what the run sends.
//
// A run is a fixed-size value built on the caller's stack; sending it
// allocates nothing.
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
    PatternLutUpload,  // the run's pattern words into PatternLut, then UploadPatternLut
    ImageLutUpload,    // the run's image list, in list order (UploadImageLutInOrder)
    ValidateLuts,      // WaitLutValid: the controller's verdict on both tables
    StartGate,         // the steps after it go out only when the verdict was 0, or the run is started anyway
    Pause,             // kStartPauseMs through the pause function
};

struct RunStep {
    StepKind kind;
    CommandId command;
    std::uint8_t payload[kMaxStepPayload];
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
    const LutTables* tables = nullptr;  // for the upload steps; the caller keeps it alive

    // Appends one write; the payload's size must be the command's table
    // payload length.
    void Command(CommandId id, std::span<const std::uint8_t> payload);
    void Command(CommandId id, std::uint8_t value);
    // Appends a step that is not a plain command.
    void Add(StepKind kind);
};

// Appends the start tail: LEDs switched by the sequencer, PWM polarity
// normal, the three LED currents, all LEDs on, start; the pause; seven more
// starts.
void AppendStartTail(CommandRun& run, std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// Sends every step in order whatever the results of the steps before it, as
// the presets do, except that the steps behind the start gate go out only
// when the check returned status 0 or startAnyway is set. Returns whether
// they went out (true for a run without a gate); what the check said stays
// in lastLutValidation.
bool RunCommands(const CommandRun& run, bool startAnyway);

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
