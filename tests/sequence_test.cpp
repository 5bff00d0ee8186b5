// Sequence files: the tables derived from them, the errors a file gets, the
// command run on the wire, and the listing against what the controller
// received.
#include "patterns/lut.h"
#include "patterns/sequence.h"
#include "patterns/sequence_file.h"
#include "patterns/sequence_listing.h"
#include "scratch_directory.h"
#include "sim_fixture.h"

#include <unistd.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

namespace {
int pipe(int ends[2]) { return ::_pipe(ends, 4096, _O_BINARY); }
}  // namespace
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

using namespace lumora;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

// A sequence whose entries show pattern 0 at 8 bits of the given images.
Sequence OfImages(const std::vector<int>& images)
{
    Sequence sequence;
    sequence.exposureUs = sequence.periodUs = 10000;
    for (int image : images) {
        sequence.entries.push_back({.image = static_cast<std::uint8_t>(image)});
    }
    return sequence;
}

struct DeriveCase {
    const char* name;
    std::vector<int> images;          // of each entry
    std::vector<bool> swaps;          // bufferSwap of each entry
    std::vector<std::uint8_t> table;  // the image LUT
};

const DeriveCase kDeriveCases[] = {
    {"OneImage", {3, 3, 3}, {true, false, false}, {3}},
    {"Alternating", {1, 2, 1, 2}, {true, true, true, true}, {1, 2, 1, 2}},
    {"ImageComesBack", {2, 5, 5, 2, 2}, {true, true, false, true, false}, {2, 5, 2}},
    {"OneEntry", {200}, {true}, {200}},
};

TEST(SequenceTables, SwapOnTheFirstEntryAndOnEachChangeOfImage)
{
    for (const DeriveCase& c : kDeriveCases) {
        SCOPED_TRACE(c.name);
        LutTables tables;
        ASSERT_TRUE(DeriveTables(OfImages(c.images), tables));
        ASSERT_EQ(tables.wordCount, static_cast<int>(c.images.size()));
        for (std::size_t i = 0; i < c.swaps.size(); ++i) {
            EXPECT_EQ(LutWord::FromValue(tables.words[i]).bufferSwap, c.swaps[i]) << "entry " << i;
        }
        EXPECT_THAT(std::vector<std::uint8_t>(tables.images, tables.images + tables.imageCount),
                    ElementsAreArray(c.table));
    }
}

TEST(SequenceTables, SixtyFourImageChangesFitAndSixtyFiveDoNot)
{
    std::vector<int> images;
    for (int i = 0; i < kMaxSequenceImages; ++i) {
        images.push_back(i % 2);
    }
    LutTables tables;
    EXPECT_TRUE(DeriveTables(OfImages(images), tables));
    EXPECT_EQ(tables.imageCount, 64);
    images.push_back(0);
    EXPECT_FALSE(DeriveTables(OfImages(images), tables));
    // Many entries of few images fit as long as the images change rarely.
    EXPECT_TRUE(DeriveTables(OfImages(std::vector<int>(kMaxSequenceEntries, 7)), tables));
    EXPECT_FALSE(DeriveTables(OfImages(std::vector<int>(kMaxSequenceEntries + 1, 7)), tables));
    EXPECT_FALSE(DeriveTables(OfImages({}), tables));
}

TEST(SequenceTables, ColoursGoToTheLedSelectBits)
{
    const struct {
        const char* name;
        std::uint32_t ledBits;  // bits 12-14 of the word
    } cases[] = {{"red", 0x1000},    {"green", 0x2000}, {"blue", 0x4000}, {"yellow", 0x3000},
                 {"cyan", 0x6000},   {"magenta", 0x5000}, {"white", 0x7000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Colour colour = Colour::White;
        ASSERT_TRUE(ColourByName(c.name, colour));
        SequenceEntry entry;
        entry.colour = colour;
        EXPECT_EQ(EntryWord(entry).Value() & 0x7000, c.ledBits);
        EXPECT_EQ(ColourName(EntryWord(entry).ledSelect), c.name);
    }
    Colour colour = Colour::White;
    EXPECT_FALSE(ColourByName("White", colour));
    EXPECT_FALSE(ColourByName("purple", colour));
}

// A file with the given [[pattern]] body and a valid timing.
std::string WithPattern(const std::string& body) { return "frequency_hz = 60\n[[pattern]]\nimage = 1\n" + body; }

TEST(SequenceFile, PatternRangeAtEachBitDepth)
{
    const int highest[] = {0, 23, 11, 7, 5, 3, 3, 2, 2};  // by bits, 24 / bits - 1
    for (int bits = 1; bits <= 8; ++bits) {
        SCOPED_TRACE(bits);
        EXPECT_EQ(MaxPatternNumber(bits), highest[bits]);
        const std::string depth = "bits = " + std::to_string(bits) + "\n";
        const SequenceFile top = ReadSequenceText(WithPattern(depth + "pattern = " + std::to_string(highest[bits]) + "\n"), "t");
        ASSERT_TRUE(top.sequence) << FormatSequenceError(top.errors[0]);
        EXPECT_EQ(top.sequence->entries[0].pattern, highest[bits]);
        EXPECT_EQ(top.sequence->entries[0].bits, bits);

        const SequenceFile over = ReadSequenceText(WithPattern(depth + "pattern = [0, " + std::to_string(highest[bits] + 1) + "]\n"), "t");
        ASSERT_EQ(over.errors.size(), 1U);
        EXPECT_EQ(FormatSequenceError(over.errors[0]),
                  "t:5:15: pattern[0].pattern[1] = " + std::to_string(highest[bits] + 1) + " is out of range (0 to " +
                      std::to_string(highest[bits]) + " at " + std::to_string(bits) + (bits == 1 ? " bit)" : " bits)"));
    }
}

}  // namespace

// A sequence as the listing shows it, which names every field.
namespace lumora {
void PrintTo(const Sequence& sequence, std::ostream* out) { *out << "\n" << RenderSequenceListing(ListSequence(sequence)); }
}  // namespace lumora

namespace {

TEST(SequenceFile, DefaultsAndEveryKey)
{
    Sequence defaults;
    defaults.exposureUs = defaults.periodUs = 16666;
    defaults.entries = {{.image = 1, .pattern = 2, .bits = 8, .colour = Colour::White, .invert = false, .black = true}};

    Sequence full;
    full.exposureUs = full.periodUs = 4294967295U;
    full.repeat = false;
    full.flipLongAxis = true;
    full.flipShortAxis = false;
    full.ledRed = 0;
    full.ledGreen = 255;
    full.ledBlue = 7;
    full.triggerOut1 = {.given = true, .invert = true, .risingDelay = 0, .fallingDelay = 255};
    full.triggerOut2 = {.given = true, .invert = false, .risingDelay = 9};
    const SequenceEntry last = {.image = 255, .pattern = 23, .bits = 1, .colour = Colour::Magenta, .invert = true, .black = false};
    full.entries = {last, last};
    full.entries[1].pattern = 0;

    Sequence seven = defaults;  // 1000000 / 7 drops the fraction
    seven.exposureUs = seven.periodUs = 142857;

    const struct {
        const char* name;
        std::string text;
        Sequence expected;
    } cases[] = {
        {"Defaults", WithPattern("pattern = 2\n"), defaults},
        {"EveryKey",
         "exposure_us = 4294967295\nperiod_us = 4294967295\nrepeat = false\n"
         "flip = { long_axis = true, short_axis = false }\nleds = { red = 0, green = 255, blue = 7 }\n"
         "trigger_out1 = { invert = true, rising_delay = 0, falling_delay = 255 }\n"
         "trigger_out2 = { rising_delay = 9 }\n"
         "[[pattern]]\nimage = 255\npattern = [23, 0]\nbits = 1\ncolor = \"magenta\"\ninvert = true\nblack = false\n",
         full},
        {"SevenHertz", "frequency_hz = 7\n[[pattern]]\nimage = 1\npattern = 2\n", seven},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SequenceFile file = ReadSequenceText(c.text, "t");
        ASSERT_TRUE(file.sequence) << FormatSequenceError(file.errors[0]);
        EXPECT_EQ(*file.sequence, c.expected);
    }
}

TEST(SequenceFile, CommentsMayBeWrittenInAnyLanguage)
{
    EXPECT_TRUE(ReadSequenceText("# Belichtung f\u00fcr die Kamera \u2014 \u00b5s\nfrequency_hz = 60 # \u0436\n"
                                 "[[pattern]] # \u03b1\nimage = 0\npattern = 0\n",
                                 "t")
                    .sequence);
}

struct ErrorCase {
    const char* name;
    std::string text;
    std::vector<std::string> errors;  // formatted, in order
};

const std::string kPattern = "[[pattern]]\nimage = 0\npattern = 0\n";

std::string Entries(int tables, const std::function<int(int)>& image)
{
    std::string text = "frequency_hz = 10\n";
    for (int i = 0; i < tables; ++i) {
        text += "[[pattern]]\nimage = " + std::to_string(image(i)) + "\npattern = 0\n";
    }
    return text;
}

const ErrorCase kErrorCases[] = {
    {"UnknownTopKey", "frequency_hz = 60\nexposure = 5\n" + kPattern,
     {"t:2:1: unknown key exposure; expected exposure_us, period_us, frequency_hz, repeat, flip, leds, trigger_out1, "
      "trigger_out2 or pattern"}},
    {"UnknownNestedKey", "frequency_hz = 60\ntrigger_out2 = { falling_delay = 3 }\n" + kPattern,
     {"t:2:18: unknown key falling_delay in trigger_out2; expected invert or rising_delay"}},
    {"UnknownPatternKey", "frequency_hz = 60\n[[pattern]]\nimage = 0\npattern = 0\ncolour = \"red\"\n",
     {"t:5:1: unknown key colour in pattern[0]; expected image, pattern, bits, color, invert or black"}},
    {"QuotedUnknownKey", "frequency_hz = 60\n\"odd\\u0007key\" = 1\n" + kPattern,
     {"t:2:1: unknown key \"odd\\x07key\"; expected exposure_us, period_us, frequency_hz, repeat, flip, leds, "
      "trigger_out1, trigger_out2 or pattern"}},
    {"StringForInteger", "exposure_us = \"16666\"\nperiod_us = 16666\n" + kPattern,
     {"t:1:15: exposure_us: expected an integer, found a string \"16666\""}},
    {"FloatForInteger", "frequency_hz = 7.5\n" + kPattern,
     {"t:1:16: frequency_hz: expected an integer, found the number 7.5"}},
    {"ExposureAboveU32", "exposure_us = 4294967296\nperiod_us = 4294967296\n" + kPattern,
     {"t:1:15: exposure_us = 4294967296 is out of range (1 to 4294967295)",
      "t:2:13: period_us = 4294967296 is out of range (1 to 4294967295)"}},
    {"LargestInteger", "frequency_hz = 9223372036854775807\n" + kPattern,
     {"t:1:16: frequency_hz = 9223372036854775807 is out of range (1 to 120)"}},
    {"FrequencyAbove120", "frequency_hz = 121\n" + kPattern, {"t:1:16: frequency_hz = 121 is out of range (1 to 120)"}},
    {"NegativeLed", "frequency_hz = 60\nleds = { red = -1, blue = 256 }\n" + kPattern,
     {"t:2:16: leds.red = -1 is out of range (0 to 255)", "t:2:27: leds.blue = 256 is out of range (0 to 255)"}},
    {"BothTimings", "frequency_hz = 60\nexposure_us = 100\nperiod_us = 100\n" + kPattern,
     {"t:1:16: frequency_hz: give either frequency_hz or exposure_us and period_us, not both"}},
    {"NoTiming", kPattern, {"t: no timing: give frequency_hz, or exposure_us and period_us"}},
    {"ExposureAlone", "exposure_us = 100\n" + kPattern, {"t:1:15: exposure_us: period_us must be given with it"}},
    {"PeriodShorterThanExposure", "exposure_us = 2000\nperiod_us = 1999\n" + kPattern,
     {"t:2:13: period_us = 1999 is shorter than exposure_us = 2000; the frame period must be at least the exposure"}},
    {"NoPattern", "frequency_hz = 60\n", {"t: no [[pattern]] entry: a sequence shows at least one pattern"}},
    {"EmptyPatternArray", "frequency_hz = 60\npattern = []\n",
     {"t:2:11: pattern: no entry: a sequence shows at least one pattern"}},
    {"PatternNotTables", "frequency_hz = 60\npattern = 3\n",
     {"t:2:11: pattern: expected [[pattern]] tables, found the integer 3"}},
    {"MissingImageAndPattern", "frequency_hz = 60\n\n[[pattern]]\nbits = 8\n",
     {"t:3:1: pattern[0]: image is missing (the flash image index, 0 to 255)",
      "t:3:1: pattern[0]: pattern is missing (a pattern number of the image, or a list of them)"}},
    {"ImageAbove255", "frequency_hz = 60\n[[pattern]]\nimage = 256\npattern = 0\n",
     {"t:3:9: pattern[0].image = 256 is out of range (0 to 255)"}},
    {"BitsOutOfRange", "frequency_hz = 60\n[[pattern]]\nimage = 0\npattern = 0\nbits = 9\n[[pattern]]\nimage = 0\n"
                       "pattern = 24\nbits = 0\n",
     {"t:5:8: pattern[0].bits = 9 is out of range (1 to 8)", "t:8:11: pattern[1].pattern = 24 is out of range (0 to 23)",
      "t:9:8: pattern[1].bits = 0 is out of range (1 to 8)"}},
    {"NegativePattern", WithPattern("pattern = -1\n"),
     {"t:4:11: pattern[0].pattern = -1 is out of range (0 to 2 at 8 bits)"}},
    {"EmptyPatternList", WithPattern("pattern = []\n"),
     {"t:4:11: pattern[0].pattern: an empty list; give at least one number"}},
    {"PatternListOfStrings", WithPattern("pattern = [0, \"1\"]\n"),
     {"t:4:15: pattern[0].pattern[1]: expected an integer, found a string \"1\""}},
    {"PatternAsString", WithPattern("pattern = \"0\"\n"),
     {"t:4:11: pattern[0].pattern: expected a pattern number or a list of them, found a string \"0\""}},
    {"UnknownColour", WithPattern("pattern = 0\ncolor = \"purple\"\n"),
     {"t:5:9: pattern[0].color = \"purple\" is not a colour; use red, green, blue, yellow, cyan, magenta or white"}},
    {"ColourAsNumber", WithPattern("pattern = 0\ncolor = 7\n"),
     {"t:5:9: pattern[0].color: expected a colour name (red, green, blue, yellow, cyan, magenta or white), found the "
      "integer 7"}},
    {"IntegerForBoolean", WithPattern("pattern = 0\ninvert = 1\n"),
     {"t:5:10: pattern[0].invert: expected true or false, found the integer 1"}},
    {"FlipNotATable", "frequency_hz = 60\nflip = true\n" + kPattern,
     {"t:2:8: flip: expected a table such as { long_axis = ... }, found true"}},
    {"LongStringIsCut", "frequency_hz = 60\nrepeat = \"" + std::string(50, 'x') + "\"\n" + kPattern,
     {"t:2:10: repeat: expected true or false, found a string \"" + std::string(37, 'x') + "...\""}},
    {"StringThatCouldSteerATerminal", "frequency_hz = 60\nrepeat = \"\\u009B2J\\u202E\\\"\"\n" + kPattern,
     {"t:2:10: repeat: expected true or false, found a string \"\\u009B2J\\u202E\\\"\""}},
    {"SyntaxError", "frequency_hz = \n" + kPattern,
     {"t:1:16: Error while parsing key-value pair: expected value, saw '\\n'"}},
    {"IntegerBeyond64Bits", "exposure_us = 99999999999999999999\n",
     {"t:1:35: Error while parsing decimal integer: '99999999999999999999' is not representable in 64 bits"}},
    // A letter beyond ASCII where the reader looks for whitespace or a value.
    {"LetterAfterAValue", "frequency_hz = 60\u00e9\n" + kPattern,
     {"t:1:18: Error while parsing decimal integer: expected digit, saw '\u00e9'"}},
    {"LetterInATableHeader", "frequency_hz = 60\n[[patte\u014dn]]\nimage = 0\npattern = 0\n",
     {"t:2:8: Error while parsing table header: expected ']', saw '\u014d'"}},
    {"LetterInAMultiLineString", WithPattern("pattern = 0\ncolor = \"\"\"\\\n  \u00e9\"\"\"\n"),
     {"t:5:9: pattern[0].color = \"\u00e9\" is not a colour; use red, green, blue, yellow, cyan, magenta or white"}},
    {"Entry129", Entries(1, [](int) { return 0; }) + "[[pattern]]\nimage = 0\npattern = [" + [] {
         std::string list;
         for (int i = 0; i < 128; ++i) {
             list += i == 0 ? "0" : ", 0";
         }
         return list;
     }() + "]\n",
     {"t:7:393: pattern[1].pattern[127]: entry 129 of the sequence; the pattern LUT holds at most 128"}},
    {"ImageChange65", Entries(65, [](int i) { return i % 2; }),
     {"t:196:11: pattern[64].pattern: image 0 here is image change 65; the image LUT holds at most 64 (the first "
      "image and each change of image take one entry)"}},
    {"ErrorsInFileOrder", "repeat = 1\nexposure_us = 10\nperiod_us = 5\nleds = { green = 300 }\n" + kPattern,
     {"t:1:10: repeat: expected true or false, found the integer 1",
      "t:3:13: period_us = 5 is shorter than exposure_us = 10; the frame period must be at least the exposure",
      "t:4:18: leds.green = 300 is out of range (0 to 255)"}},
};

void PrintTo(const ErrorCase& c, std::ostream* out) { *out << c.name; }

class SequenceErrors : public SimTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(SequenceErrors, NameTheLineColumnAndKeyAndSendNothing)
{
    Connect();
    const std::uint8_t before = sequenceNumber;
    const SequenceFile file = ReadSequenceText(GetParam().text, "t");
    EXPECT_FALSE(file.sequence);
    std::vector<std::string> errors;
    for (const SequenceError& error : file.errors) {
        errors.push_back(FormatSequenceError(error));
    }
    EXPECT_THAT(errors, ElementsAreArray(GetParam().errors));
    EXPECT_TRUE(sim::Calls().empty());
    EXPECT_EQ(sequenceNumber, before);
}

INSTANTIATE_TEST_SUITE_P(Cases, SequenceErrors, ::testing::ValuesIn(kErrorCases), CaseName());

TEST(SequenceFile, ErrorsCarryTheKeyApart)
{
    const SequenceFile file = ReadSequenceText(WithPattern("pattern = 0\nbits = 12\n"), "t");
    ASSERT_EQ(file.errors.size(), 1U);
    EXPECT_EQ(file.errors[0].key, "pattern[0].bits");
    EXPECT_EQ(file.errors[0].line, 5);
    EXPECT_EQ(file.errors[0].column, 8);
}

// A file written to the given directory.
std::string TempFile(const ScratchDirectory& scratch, const std::string& name, const std::string& text)
{
    const std::filesystem::path path = scratch.Path() / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

TEST(SequenceFile, ReadsFilesAndStandardInput)
{
    const ScratchDirectory scratch;
    const std::string good = WithPattern("pattern = 1\n");
    const std::string path = TempFile(scratch, "good.toml", good);
    EXPECT_TRUE(ReadSequenceFile(path).sequence);

    const SequenceFile missing = ReadSequenceFile(path + ".absent");
    ASSERT_EQ(missing.errors.size(), 1U);
    EXPECT_EQ(FormatSequenceError(missing.errors[0]),
              path + ".absent: cannot open the file: No such file or directory");

    const SequenceFile directory = ReadSequenceFile(scratch.Path().string());
    ASSERT_EQ(directory.errors.size(), 1U);
#ifdef _WIN32
    // The C library of Windows refuses to open a folder as a file.
    EXPECT_THAT(FormatSequenceError(directory.errors[0]), ::testing::HasSubstr("cannot open the file: Permission denied"));
#else
    EXPECT_THAT(FormatSequenceError(directory.errors[0]), ::testing::HasSubstr("Is a directory"));
#endif

    const SequenceFile huge = ReadSequenceFile(TempFile(scratch, "huge.toml", good + std::string(kMaxSequenceFileBytes, '#')));
    ASSERT_EQ(huge.errors.size(), 1U);
    EXPECT_THAT(huge.errors[0].message, ::testing::StartsWith("larger than 1 MiB"));

    // "-" reads standard input, and errors name it.
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const std::string bad = "frequency_hz = 0\n" + kPattern;
    ASSERT_EQ(write(pipeEnds[1], bad.data(), bad.size()), static_cast<ssize_t>(bad.size()));
    close(pipeEnds[1]);
    const int savedInput = dup(STDIN_FILENO);
    dup2(pipeEnds[0], STDIN_FILENO);
    close(pipeEnds[0]);
    const SequenceFile fromInput = ReadSequenceFile("-");
    dup2(savedInput, STDIN_FILENO);
    close(savedInput);
    std::clearerr(stdin);
    ASSERT_EQ(fromInput.errors.size(), 1U);
    EXPECT_EQ(FormatSequenceError(fromInput.errors[0]), "<stdin>:1:16: frequency_hz = 0 is out of range (1 to 120)");
}

// The small sequence of the wire tests: two 8-bit red patterns of image 4,
// then an inverted 2-bit green one of image 9 without a black pattern.
const char* const kSmall = R"(exposure_us = 8000
period_us = 10000
repeat = false
leds = { red = 1, green = 2, blue = 3 }
trigger_out1 = { rising_delay = 5 }

[[pattern]]
image = 4
pattern = [1, 2]
color = "red"

[[pattern]]
image = 9
pattern = 5
bits = 2
color = "green"
invert = true
black = false
)";

class SequenceRun : public FastPresetTest {
protected:
    static Sequence Read(const std::string& text)
    {
        const SequenceFile file = ReadSequenceText(text, "t");
        EXPECT_TRUE(file.sequence) << (file.errors.empty() ? "" : FormatSequenceError(file.errors[0]));
        return file.sequence.value_or(Sequence{});
    }

    // The listing against what the controller received for the same sequence:
    // every packet, the start gate and the pause in their places.
    static void ExpectListingMatchesTheWire(const Sequence& sequence)
    {
        const SequenceListing listing = ListSequence(sequence);
        std::vector<std::string> listed;
        std::vector<std::size_t> pausesAt;  // a one-shot sequence has none
        for (const RunListingLine& line : listing.run) {
            if (line.afterPause) {
                pausesAt.push_back(listed.size());
            }
            listed.push_back(DescribePacket(line.packet));
        }
        pauses.clear();
        sim::ClearRecords();
        const RunRecord record = RunSequence(sequence, false);
        EXPECT_TRUE(record.started);
        EXPECT_THAT(Sent(), ElementsAreArray(listed));
        EXPECT_THAT(pauses, ElementsAreArray(pausesAt));
        const long starts = std::count(listed.begin(), listed.end(), "CmdPatternStartStop [02]");
        EXPECT_EQ(starts, sequence.repeat ? 8 : 1) << "a one-shot sequence starts once";
        // The gate stands just behind the status read.
        const auto gate = std::find_if(listing.run.begin(), listing.run.end(),
                                       [](const RunListingLine& line) { return line.behindGate; });
        ASSERT_NE(gate, listing.run.begin());
        EXPECT_TRUE(std::prev(gate)->packet.readRequest);
        // The decoded table agrees with the words sent.
        ASSERT_EQ(listing.entries.size(), sequence.entries.size());
        for (std::size_t i = 0; i < sequence.entries.size(); ++i) {
            EXPECT_EQ(listing.entries[i].image, sequence.entries[i].image) << i;
            EXPECT_EQ(listing.entries[i].fields.patternNumber, sequence.entries[i].pattern) << i;
        }
    }
};

const std::vector<std::string> kSmallUpToTheCheck = {
    "CmdDisplayMode [01]",
    "CmdPatternSource [03]",
    "CmdLutControl [02 00 02 01]",  // 3 entries, run once, 3 patterns, 2 images
    "CmdLongAxisFlip [00]",
    "CmdShortAxisFlip [01]",
    "CmdExposurePeriod [40 1F 00 00 10 27 00 00]",  // 8000, 10000
    "CmdTriggerMode [01]",
    "CmdTrigOut1 [00 05 BB]",
    "CmdLutAccess [02]",
    "CmdLutOffset [00]",
    "CmdLutData [04 18 06 08 18 02 14 22 05]",  // 0x61804, 0x21808, 0x52214
    "CmdLutAccess [00]",
    "CmdLutAccess [01]",
    "CmdLutOffset [00]",
    "CmdLutData [04 09]",  // two images, in list order
    "CmdLutAccess [00]",
    "CmdValidate [00]",
    "read CmdValidate []",
};

// kSmall runs once: one start, no pause, no repeats.
const std::vector<std::string> kSmallTail = {
    "CmdLedEnable [08]", "CmdLedPwmPolarity [00]", "CmdLedCurrent [01 02 03]", "CmdLedEnable [0F]",
    "CmdPatternStartStop [02]",
};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(SequenceRun, TheExactPacketsOfASmallSequence)
{
    const Sequence sequence = Read(kSmall);
    Connect();
    const std::uint8_t first = sequenceNumber;
    const RunRecord outcome = RunSequence(sequence, false);
    EXPECT_TRUE(!outcome.invalid && outcome.started);
    EXPECT_EQ(lastLutValidation.result, 0);
    EXPECT_EQ(lastLutValidation.status, 0);
    EXPECT_THAT(Sent(), ElementsAreArray(Concat(kSmallUpToTheCheck, kSmallTail)));
    std::uint8_t expected = first;
    for (const sim::Packet& packet : sim::Packets()) {
        EXPECT_EQ(packet.sequence, packet.flags == 0xC0 ? 0 : expected++) << sim::Describe(packet);
    }
    EXPECT_THAT(pauses, IsEmpty()) << "a one-shot sequence takes no pause";
}

TEST_F(SequenceRun, TwoImagesStayInListOrderWhereThePresetsExchangeThem)
{
    const Sequence sequence = Read("frequency_hz = 10\n[[pattern]]\nimage = 5\npattern = 0\n"
                                   "[[pattern]]\nimage = 9\npattern = 0\n");
    Connect();
    RunSequence(sequence, false);
    EXPECT_EQ(Sent()[13], "CmdLutData [05 09]");
    sim::ClearRecords();
    const std::uint8_t images[] = {5, 9};
    UploadImageLut(2, images);
    EXPECT_EQ(Sent()[2], "CmdLutData [09 05]");
}

TEST_F(SequenceRun, AVerdictOtherThanZeroStartsNothingUnlessStartedAnyway)
{
    const Sequence sequence = Read(kSmall);
    Connect();
    sim::SetStatusSeries({0x80, 0x05});
    RunRecord outcome = RunSequence(sequence, false);
    EXPECT_EQ(lastLutValidation.result, 0);
    EXPECT_EQ(lastLutValidation.status, 5);
    EXPECT_FALSE(outcome.started);
    std::vector<std::string> polled = kSmallUpToTheCheck;
    polled.push_back("read CmdValidate []");  // busy once
    EXPECT_THAT(Sent(), ElementsAreArray(polled));
    EXPECT_TRUE(pauses.empty());

    sim::ClearRecords();
    sim::SetStatusSeries({0x05});
    outcome = RunSequence(sequence, true);
    EXPECT_EQ(lastLutValidation.status, 5);
    EXPECT_TRUE(outcome.started);
    EXPECT_THAT(Sent(), ElementsAreArray(Concat(kSmallUpToTheCheck, kSmallTail)));
}

TEST_F(SequenceRun, ACheckWithoutAnswerOrThatNeverEndsStartsNothing)
{
    const Sequence sequence = Read(kSmall);
    Connect();
    sim::SetStatusReply(sim::StatusReply::Silent);
    RunRecord outcome = RunSequence(sequence, false);
    EXPECT_FALSE(outcome.started || lastLutValidation.gaveUp);
    EXPECT_EQ(lastLutValidation.result, -1);
    EXPECT_EQ(Sent().back(), "read CmdValidate []");

    sim::SetStatusReply(sim::StatusReply::Normal);
    sim::SetStatusSeries({0x80});
    outcome = RunSequence(sequence, false);
    EXPECT_FALSE(outcome.started);
    EXPECT_EQ(lastLutValidation.result, -1);
    EXPECT_TRUE(lastLutValidation.gaveUp);
    EXPECT_TRUE(pauses.empty());
}

TEST_F(SequenceRun, ASequenceThatDoesNotFitSendsNothing)
{
    Connect();
    const std::uint8_t before = sequenceNumber;
    const RunRecord outcome = RunSequence(OfImages(std::vector<int>(kMaxSequenceEntries + 1, 0)), true);
    EXPECT_FALSE(!outcome.invalid || outcome.started);
    EXPECT_TRUE(sim::Calls().empty());
    EXPECT_EQ(sequenceNumber, before);
}

TEST_F(SequenceRun, TheListingIsWhatIsSent)
{
    Connect();
    ExpectListingMatchesTheWire(Read(kSmall));
}

TEST_F(SequenceRun, EveryExampleIsValidAndItsListingIsWhatIsSent)
{
    Connect();
    int examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR)) {
        if (entry.path().extension() != ".toml") {
            continue;
        }
        SCOPED_TRACE(entry.path().string());
        ++examples;
        const SequenceFile file = ReadSequenceFile(entry.path().string());
        for (const SequenceError& error : file.errors) {
            ADD_FAILURE() << FormatSequenceError(error);
        }
        if (file.sequence) {
            ExpectListingMatchesTheWire(*file.sequence);
        }
    }
    EXPECT_GE(examples, 3);
}

TEST(SequenceListingText, ShowsBothTablesAndTheRun)
{
    const SequenceFile file = ReadSequenceText(kSmall, "t");
    ASSERT_TRUE(file.sequence);
    EXPECT_EQ(RenderSequenceListing(ListSequence(*file.sequence)),
              "exposure 8000 us, period 10000 us, once; 3 pattern LUT entries, 2 image LUT entries\n"
              "\n"
              "pattern LUT\n"
              "entry  image  pattern  bits  colour   flags              word\n"
              "    0      4        1     8  red      swap black         0x061804\n"
              "    1      4        2     8  red      black              0x021808\n"
              "    2      9        5     2  green    swap invert        0x052214\n"
              "\n"
              "image LUT, in the order it is sent: 4 9\n"
              "\n"
              "command run\n"
              "   1  CmdDisplayMode [01]\n"
              "   2  CmdPatternSource [03]\n"
              "   3  CmdLutControl [02 00 02 01]\n"
              "   4  CmdLongAxisFlip [00]\n"
              "   5  CmdShortAxisFlip [01]\n"
              "   6  CmdExposurePeriod [40 1F 00 00 10 27 00 00]\n"
              "   7  CmdTriggerMode [01]\n"
              "   8  CmdTrigOut1 [00 05 BB]\n"
              "   9  CmdLutAccess [02]\n"
              "  10  CmdLutOffset [00]\n"
              "  11  CmdLutData [04 18 06 08 18 02 14 22 05]\n"
              "  12  CmdLutAccess [00]\n"
              "  13  CmdLutAccess [01]\n"
              "  14  CmdLutOffset [00]\n"
              "  15  CmdLutData [04 09]\n"
              "  16  CmdLutAccess [00]\n"
              "  17  CmdValidate [00]\n"
              "  18  read CmdValidate []  (sent again while the controller is busy checking)\n"
              "      only when the controller accepts the tables (status 0), or when started anyway:\n"
              "  19  CmdLedEnable [08]\n"
              "  20  CmdLedPwmPolarity [00]\n"
              "  21  CmdLedCurrent [01 02 03]\n"
              "  22  CmdLedEnable [0F]\n"
              "  23  CmdPatternStartStop [02]\n");
}

}  // namespace
