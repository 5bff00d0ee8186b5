// A pattern sequence of the operator's own: which flash images and patterns
// to show, at which bit depth and colour, with what timing, LED currents and
// output triggers, once or repeating. ReadSequenceFile (sequence_file.h)
// makes one from a file and checks it; this file derives the two look-up
// tables from it, plans its command run and sends that run.
#pragma once

#include "link/commands.h"
#include "patterns/command_run.h"
#include "patterns/lut.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace lumora {

inline constexpr int kMaxSequenceEntries = kPatternLutCapacity;  // 128
inline constexpr int kMaxSequenceImages = kImageLutCapacity;     // 64, counting the first image
inline constexpr int kMinBitDepth = 1;
inline constexpr int kMaxBitDepth = 8;
inline constexpr std::uint8_t kDefaultTriggerDelay = 0xBB;  // 187, as in video mode

// The highest pattern number an image holds at a bit depth of 1 to 8: its 24
// bit planes make 24 / bits patterns (integer division), counted from 0.
constexpr int MaxPatternNumber(int bits)
{
    constexpr int kBitPlanes = 24;
    return kBitPlanes / bits - 1;
}

// A pattern's colour. The value is the LED select field of its LUT word:
// bit 0 red, bit 1 green, bit 2 blue.
enum class Colour : std::uint8_t {
    Red = 1,
    Green = 2,
    Yellow = 3,
    Blue = 4,
    Magenta = 5,
    Cyan = 6,
    White = 7,
};

// The name a sequence file gives a colour ("white") by its LED select bits;
// "none" for 0.
std::string_view ColourName(std::uint8_t ledSelect);
// The colour a name stands for. Returns false when it is none of them.
bool ColourByName(std::string_view name, Colour& colour);
// The names, for messages: "red, green, blue, yellow, cyan, magenta or white".
extern const std::string_view kColourChoices;

// One pattern LUT entry.
struct SequenceEntry {
    std::uint8_t image = 0;    // flash image index
    std::uint8_t pattern = 0;  // 0 to MaxPatternNumber(bits)
    std::uint8_t bits = 8;     // bits per pattern, 1 to 8
    Colour colour = Colour::White;
    bool invert = false;
    bool black = true;         // a black pattern follows

    friend bool operator==(const SequenceEntry&, const SequenceEntry&) = default;
};

// The payload of CmdTrigOut1 or CmdTrigOut2; a trigger output that is not
// given sends nothing.
struct TriggerOutput {
    bool given = false;
    bool invert = false;
    std::uint8_t risingDelay = kDefaultTriggerDelay;
    std::uint8_t fallingDelay = kDefaultTriggerDelay;  // output 1 only

    friend bool operator==(const TriggerOutput&, const TriggerOutput&) = default;
};

struct Sequence {
    std::uint32_t exposureUs = 0;  // 1 or more
    std::uint32_t periodUs = 0;    // at least exposureUs
    bool repeat = true;            // false: the controller runs the sequence once
    bool flipLongAxis = false;
    bool flipShortAxis = true;
    std::uint8_t ledRed = kLedCurrent;
    std::uint8_t ledGreen = kLedCurrent;
    std::uint8_t ledBlue = kLedCurrent;
    TriggerOutput triggerOut1;
    TriggerOutput triggerOut2;
    std::vector<SequenceEntry> entries;  // 1 to 128

    friend bool operator==(const Sequence&, const Sequence&) = default;
};

// The LUT word of an entry, bufferSwap aside.
LutWord EntryWord(const SequenceEntry& entry);

// Fills both tables: entry i's word with bufferSwap set on the first entry
// and on each entry whose image differs from the one before it; the image
// LUT lists the image of each swapping entry, in order, repeats included.
// Returns false, with the tables unspecified, when the sequence has no entry,
// more than 128, or needs more than 64 image LUT entries.
bool DeriveTables(const Sequence& sequence, LutTables& tables);

// Plans the sequence's command run into run, its tables from DeriveTables.
// Returns false, with run unspecified, when the sequence does not fit them.
//   CmdDisplayMode [01], CmdPatternSource [03],
//   CmdLutControl [n-1, repeat, n-1, m-1], the two flips,
//   CmdExposurePeriod (exposure, period), CmdTriggerMode [01],
//   CmdTrigOut1 / CmdTrigOut2 where given, the pattern LUT, the image LUT in
//   list order, the check, the start gate, the start tail with the
//   sequence's LED currents (one start for a sequence that runs once).
bool PlanSequence(const Sequence& sequence, CommandRun& run);

// Sends a sequence that ReadSequenceFile accepted: its command run, with the
// start tail only when the controller accepted the tables (status 0) or
// startAnyway is set. Allocates nothing. Returns the run's record, marked
// invalid with nothing sent when the sequence does not fit the tables.
RunRecord RunSequence(const Sequence& sequence, bool startAnyway);

}  // namespace lumora
