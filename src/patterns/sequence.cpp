#include "patterns/sequence.h"


namespace lumora {

namespace {

struct ColourNameRow {
    std::string_view name;
    Colour colour;
};

constexpr ColourNameRow kColours[] = {
    {"red", Colour::Red},       {"green", Colour::Green},     {"blue", Colour::Blue}, {"yellow", Colour::Yellow},
    {"cyan", Colour::Cyan},     {"magenta", Colour::Magenta}, {"white", Colour::White},
};

// A switch as its one payload byte: 1 on, 0 off.
std::uint8_t Flag(bool on) { return on ? kFlipOn : kFlipOff; }

}  // namespace

const std::string_view kColourChoices = "red, green, blue, yellow, cyan, magenta or white";

std::string_view ColourName(std::uint8_t ledSelect)
{
    for (const ColourNameRow& row : kColours) {
        if (static_cast<std::uint8_t>(row.colour) == ledSelect) {
            return row.name;
        }
    }
    return "none";
}

bool ColourByName(std::string_view name, Colour& colour)
{
    for (const ColourNameRow& row : kColours) {
        if (row.name == name) {
            colour = row.colour;
            return true;
        }
    }
    return false;
}

LutWord EntryWord(const SequenceEntry& entry)
{
    return {
        .triggerType = 0,
        .patternNumber = entry.pattern,
        .bitDepth = entry.bits,
        .ledSelect = static_cast<std::uint8_t>(entry.colour),
        .invertPattern = entry.invert,
        .insertBlack = entry.black,
        .bufferSwap = false,
        .triggerOutPrevious = false,
    };
}

bool DeriveTables(const Sequence& sequence, LutTables& tables)
{
    const std::size_t count = sequence.entries.size();
    if (count == 0 || count > kMaxSequenceEntries) {
        return false;
    }
    tables.wordCount = 0;
    tables.imageCount = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const SequenceEntry& entry = sequence.entries[i];
        LutWord word = EntryWord(entry);
        // The controller moves on to the next image of the image LUT with
        // each swapping entry, so an image that comes back is listed again.
        word.bufferSwap = i == 0 || entry.image != sequence.entries[i - 1].image;
        if (word.bufferSwap) {
            if (tables.imageCount == kMaxSequenceImages) {
                return false;
            }
            tables.images[tables.imageCount++] = entry.image;
        }
        tables.words[tables.wordCount++] = word.Value();
    }
    return true;
}

bool PlanSequence(const Sequence& sequence, CommandRun& run)
{
    run = CommandRun{};
    const LutTables& tables = run.tables;
    if (!DeriveTables(sequence, run.tables)) {
        return false;
    }
    run.Command(CmdDisplayMode, kPatternMode);
    run.Command(CmdPatternSource, kSourceFlash);
    // Every entry counts as a pattern of its own.
    run.Command(CmdLutControl,
                LutControlPayload(tables.wordCount, sequence.repeat, tables.wordCount, tables.imageCount));
    run.Command(CmdLongAxisFlip, Flag(sequence.flipLongAxis));
    run.Command(CmdShortAxisFlip, Flag(sequence.flipShortAxis));
    run.Command(CmdExposurePeriod, ExposureTimingPayload(sequence.exposureUs, sequence.periodUs));
    run.Command(CmdTriggerMode, kTriggerMode);
    if (const TriggerOutput& out = sequence.triggerOut1; out.given) {
        const std::uint8_t payload[] = {Flag(out.invert), out.risingDelay, out.fallingDelay};
        run.Command(CmdTrigOut1, payload);
    }
    if (const TriggerOutput& out = sequence.triggerOut2; out.given) {
        const std::uint8_t payload[] = {Flag(out.invert), out.risingDelay};
        run.Command(CmdTrigOut2, payload);
    }
    run.Add(StepKind::PatternLutUpload);
    run.Add(StepKind::ImageLutUpload);
    run.Add(StepKind::ValidateLuts);
    run.Add(StepKind::StartGate);
    AppendStartTail(run, sequence.ledRed, sequence.ledGreen, sequence.ledBlue, sequence.repeat);
    return true;
}

RunRecord RunSequence(const Sequence& sequence, bool startAnyway)
{
    CommandRun run;
    if (!PlanSequence(sequence, run)) {
        RunRecord refused;
        refused.invalid = true;
        refused.startsSequence = true;
        return refused;
    }
    return RunCommands(run, startAnyway);
}

}  // namespace lumora
