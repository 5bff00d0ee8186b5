// What a command run would do, shown without a module: both tables decoded
// and the exact packets, from the same run that is sent. Every action lists
// its plan this way, a sequence file's and a preset's alike.
#pragma once

#include "patterns/command_run.h"
#include "patterns/lut.h"
#include "patterns/sequence.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lumora {

// One pattern LUT entry, decoded from the word the controller is sent.
struct ListedEntry {
    int entry;           // from 0
    int image;           // the image LUT entry the controller shows it from
    LutWord fields;      // the word's fields
    std::uint32_t word;  // the 24-bit word
};

struct SequenceListing {
    bool hasTables;  // the run uploads look-up tables; the fields up to the run describe them
    std::uint32_t exposureUs;
    std::uint32_t periodUs;
    bool repeat;
    std::vector<ListedEntry> entries;
    std::vector<std::uint8_t> images;  // the image LUT, in the order it is sent
    std::vector<RunListingLine> run;   // every packet, in order
};

// Decodes both tables of the run, when it uploads them, and lists its
// packets. Returns the listing.
SequenceListing ListPlan(const CommandRun& run);

// The same for a sequence that ReadSequenceFile accepted. Returns the
// listing; its vectors are empty when the sequence does not fit the tables.
SequenceListing ListSequence(const Sequence& sequence);

// The listing as text: for a run with tables a summary line, the pattern LUT
// (entry, image, pattern, bits, colour, flags, word in hex) and the image
// LUT; then the command run with each payload in hex, one numbered packet a
// line. Returns the text.
std::string RenderSequenceListing(const SequenceListing& listing);

}  // namespace lumora
