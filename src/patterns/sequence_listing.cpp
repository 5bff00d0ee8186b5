#include "patterns/sequence_listing.h"

#include <cstdio>

namespace lumora {

namespace {

// printf into a std::string.
template <class... Args>
void Append(std::string& text, const char* format, Args... args)
{
    char line[160];
    std::snprintf(line, sizeof line, format, args...);
    text += line;
}

std::string Flags(const LutWord& fields)
{
    std::string flags;
    const auto add = [&flags](bool on, const char* name) {
        if (on) {
            flags += flags.empty() ? "" : " ";
            flags += name;
        }
    };
    add(fields.bufferSwap, "swap");
    add(fields.insertBlack, "black");
    add(fields.invertPattern, "invert");
    return flags.empty() ? "-" : flags;
}

std::uint32_t U32At(const std::uint8_t* bytes)
{
    return static_cast<std::uint32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16) | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace

SequenceListing ListPlan(const CommandRun& run)
{
    SequenceListing listing = {false, 0, 0, true, {}, {}, {}};
    const LutTables& tables = run.tables;
    bool exchangeTwo = false;
    for (int i = 0; i < run.count; ++i) {
        const RunStep& step = run.steps[i];
        listing.hasTables = listing.hasTables || step.kind == StepKind::PatternLutUpload;
        exchangeTwo = exchangeTwo || (step.kind == StepKind::ImageLutUpload && step.exchangeTwoImages);
        if (step.kind == StepKind::Command && step.command == CmdExposurePeriod) {
            listing.exposureUs = U32At(step.payload);
            listing.periodUs = U32At(step.payload + 4);
        }
        if (step.kind == StepKind::Command && step.command == CmdLutControl) {
            listing.repeat = step.payload[1] != 0;
        }
    }
    listing.run = ListCommands(run);
    if (!listing.hasTables || tables.wordCount < 0 || tables.wordCount > kPatternLutCapacity ||
        tables.imageCount < 0 || tables.imageCount > kImageLutCapacity) {
        return listing;
    }
    listing.images.assign(tables.images, tables.images + tables.imageCount);
    if (exchangeTwo && tables.imageCount == 2) {
        std::swap(listing.images[0], listing.images[1]);
    }
    // Each swapping word moves the controller on to the next image LUT entry.
    int imageAt = -1;
    for (int i = 0; i < tables.wordCount; ++i) {
        const LutWord fields = LutWord::FromValue(tables.words[i]);
        imageAt += fields.bufferSwap ? 1 : 0;
        const bool shown = imageAt >= 0 && imageAt < static_cast<int>(listing.images.size());
        listing.entries.push_back({i, shown ? listing.images[static_cast<std::size_t>(imageAt)] : -1, fields,
                                   tables.words[i]});
    }
    return listing;
}

SequenceListing ListSequence(const Sequence& sequence)
{
    CommandRun run;
    if (!PlanSequence(sequence, run)) {
        return {true, sequence.exposureUs, sequence.periodUs, sequence.repeat, {}, {}, {}};
    }
    return ListPlan(run);
}

namespace {

void RenderTables(const SequenceListing& listing, std::string& text)
{
    Append(text, "exposure %u us, period %u us, %s; %zu pattern LUT entr%s, %zu image LUT entr%s\n",
           listing.exposureUs, listing.periodUs, listing.repeat ? "repeating" : "once", listing.entries.size(),
           listing.entries.size() == 1 ? "y" : "ies", listing.images.size(), listing.images.size() == 1 ? "y" : "ies");

    text += "\npattern LUT\n";
    Append(text, "%5s  %5s  %7s  %4s  %-7s  %-17s  %s\n", "entry", "image", "pattern", "bits", "colour", "flags",
           "word");
    for (const ListedEntry& e : listing.entries) {
        Append(text, "%5d  %5d  %7d  %4d  %-7s  %-17s  0x%06X\n", e.entry, e.image, e.fields.patternNumber,
               e.fields.bitDepth, std::string(ColourName(e.fields.ledSelect)).c_str(), Flags(e.fields).c_str(),
               e.word);
    }

    text += "\nimage LUT, in the order it is sent:";
    for (const std::uint8_t image : listing.images) {
        Append(text, " %u", image);
    }
    text += "\n\n";
}

}  // namespace

std::string RenderSequenceListing(const SequenceListing& listing)
{
    std::string text;
    if (listing.hasTables) {
        RenderTables(listing, text);
    }
    text += "command run\n";
    bool behindGate = false;
    int number = 0;
    for (const RunListingLine& line : listing.run) {
        if (line.behindGate && !behindGate) {
            text += "      only when the controller accepts the tables (status 0), or when started anyway:\n";
            behindGate = true;
        }
        if (line.afterPause) {
            Append(text, "      pause %d ms\n", kStartPauseMs);
        }
        Append(text, "%4d  ", ++number);
        text += DescribePacket(line.packet);
        text += line.packet.readRequest ? "  (sent again while the controller is busy checking)\n" : "\n";
    }
    return text;
}

}  // namespace lumora
