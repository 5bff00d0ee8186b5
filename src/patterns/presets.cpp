#include "patterns/presets.h"

#include "link/commands.h"
#include "patterns/lut.h"

#include <algorithm>
#include <array>
#include <utility>

namespace lumora {

namespace {

constexpr std::uint8_t kLedsRgb = 0x07;
constexpr std::uint32_t kCrossMicroseconds = 8333;
constexpr std::uint8_t kCrossImage = 4;
constexpr int kPatternsPerImage = 3;
constexpr int kFullFringePatterns = 31;
constexpr int kFullFringeImages = 11;

// The three words of the pattern rule: pattern p is shown from image p / 3
// with the word that p % 3 selects; the first of each image swaps buffers.
constexpr std::uint32_t kFirstOfImage =
    LutWord{.patternNumber = 0, .bitDepth = kEightBits, .ledSelect = kLedsAll, .insertBlack = true, .bufferSwap = true}
        .Value();  // 0x67800
constexpr std::uint32_t kSecondOfImage =
    LutWord{.patternNumber = 1, .bitDepth = kEightBits, .ledSelect = kLedsAll, .insertBlack = true}.Value();  // 0x27804
constexpr std::uint32_t kThirdOfImage =
    LutWord{.patternNumber = 2, .bitDepth = kEightBits, .ledSelect = kLedsAll, .insertBlack = true}.Value();  // 0x27808
static_assert(kFirstOfImage == 0x67800 && kSecondOfImage == 0x27804 && kThirdOfImage == 0x27808);

constexpr std::uint32_t PatternRuleWord(int pattern)
{
    constexpr std::uint32_t kWords[kPatternsPerImage] = {kFirstOfImage, kSecondOfImage, kThirdOfImage};
    return kWords[pattern % kPatternsPerImage];
}

// The full-fringe table: the pattern rule, except entry 1 (second pattern of
// image 0, blue LED only) and entry 3 (the first entry of image 1 shows its
// third pattern).
constexpr std::array<std::uint32_t, kFullFringePatterns> kFullFringeWords = [] {
    std::array<std::uint32_t, kFullFringePatterns> words{};
    for (int p = 0; p < kFullFringePatterns; ++p) {
        words[static_cast<std::size_t>(p)] = PatternRuleWord(p);
    }
    words[1] = LutWord{.patternNumber = 1, .bitDepth = kEightBits, .ledSelect = kLedsBlue, .insertBlack = true}.Value();
    words[3] = LutWord{.patternNumber = 2, .bitDepth = kEightBits, .ledSelect = kLedsAll, .insertBlack = true,
                       .bufferSwap = true}
                   .Value();
    return words;
}();
static_assert(kFullFringeWords[1] == 0x24804 && kFullFringeWords[3] == 0x67808);

// The cross: the second pattern of image 4, swapping buffers.
constexpr std::uint32_t kCrossWord =
    LutWord{.patternNumber = 1, .bitDepth = kEightBits, .ledSelect = kLedsAll, .insertBlack = true, .bufferSwap = true}
        .Value();
static_assert(kCrossWord == 0x67804);

// Exposure and frame period, in whole microseconds.
std::uint32_t PeriodMicroseconds(int frequency) { return static_cast<std::uint32_t>(1000000 / frequency); }

// The settings every preset but the cross begins with (the display mode only
// where pattern mode is switched on), then the tables, their upload and check.
void AppendPresetSettings(CommandRun& run, bool displayMode, int patternCount, int imageCount, int frequency)
{
    const std::uint32_t period = PeriodMicroseconds(frequency);
    if (displayMode) {
        run.Command(CmdDisplayMode, kPatternMode);
    }
    run.Command(CmdPatternSource, kSourceFlash);
    run.Command(CmdLutControl, LutControlPayload(run.tables.wordCount, true, patternCount, imageCount));
    run.Command(CmdLongAxisFlip, kFlipOff);
    run.Command(CmdShortAxisFlip, kFlipOn);
    run.Command(CmdExposurePeriod, ExposureTimingPayload(period, period));
    run.Command(CmdTriggerMode, kTriggerMode);
}

// Both tables uploaded, the two-entry image list exchanged, and checked; the
// verdict is not acted on.
void AppendUploadAndCheck(CommandRun& run)
{
    run.Add(StepKind::PatternLutUpload);
    run.Add(StepKind::ImageLutUpload);
    run.steps[run.count - 1].exchangeTwoImages = true;
    run.Add(StepKind::ValidateLuts);
}

// A preset with the start tail: LEDs on at 120 each, start, and after a
// one-second pause start again seven times.
void AppendPresetTail(CommandRun& run)
{
    AppendUploadAndCheck(run);
    AppendStartTail(run, kLedCurrent, kLedCurrent, kLedCurrent);
}

RuleBreak Check(std::initializer_list<std::pair<const NumberRule*, int>> numbers)
{
    for (const auto& [rule, value] : numbers) {
        if (!rule->Holds(value)) {
            return {rule, value, false};
        }
    }
    return {};
}

}  // namespace

RuleBreak CheckFullFringes(int frequency) { return Check({{&kFrequencyRule, frequency}}); }

RuleBreak CheckRange(int frequency, int firstPicture, int lastPicture)
{
    RuleBreak broken = Check({{&kFrequencyRule, frequency}, {&kFirstRule, firstPicture}, {&kLastRule, lastPicture}});
    broken.rangeOrder = !broken && firstPicture > lastPicture;
    return broken;
}

RuleBreak CheckOnePicture(int frequency, int picture)
{
    return Check({{&kFrequencyRule, frequency}, {&kPictureRule, picture}});
}

RuleBreak CheckLedCurrents(int red, int green, int blue)
{
    return Check({{&kRedRule, red}, {&kGreenRule, green}, {&kBlueRule, blue}});
}

CommandRun PlanFullFringes(int frequency)
{
    CommandRun run;
    std::copy(kFullFringeWords.begin(), kFullFringeWords.end(), run.tables.words);
    run.tables.wordCount = kFullFringePatterns;
    for (int k = 0; k < kFullFringeImages; ++k) {
        run.tables.images[k] = static_cast<std::uint8_t>(k);
    }
    run.tables.imageCount = kFullFringeImages;
    AppendPresetSettings(run, true, kFullFringePatterns, kFullFringeImages, frequency);
    AppendPresetTail(run);
    return run;
}

CommandRun PlanRange(int frequency, int firstPicture, int lastPicture)
{
    CommandRun run;
    const int first = firstPicture - 1;
    const int count = lastPicture - firstPicture + 1;
    // One image index per pattern, not one per image.
    for (int k = 0; k < count; ++k) {
        run.tables.words[k] = PatternRuleWord(first + k);
        run.tables.images[k] = static_cast<std::uint8_t>((first + k) / kPatternsPerImage);
    }
    run.tables.wordCount = count;
    run.tables.imageCount = count;
    AppendPresetSettings(run, true, 1, count, frequency);
    AppendPresetTail(run);
    return run;
}

CommandRun PlanOnePicture(int frequency, int picture)
{
    CommandRun run;
    const int pattern = picture - 1;
    run.tables.words[0] = PatternRuleWord(pattern);
    run.tables.images[0] = static_cast<std::uint8_t>(pattern / kPatternsPerImage);
    run.tables.wordCount = run.tables.imageCount = 1;
    // No display-mode command: the controller stays in the mode it is in.
    AppendPresetSettings(run, false, 1, 1, frequency);
    AppendPresetTail(run);
    return run;
}

CommandRun PlanCross()
{
    CommandRun run;
    run.tables.words[0] = kCrossWord;
    run.tables.images[0] = kCrossImage;
    run.tables.wordCount = run.tables.imageCount = 1;
    // No display mode, no axis flips, no LED polarity or currents, one start.
    run.Command(CmdPatternSource, kSourceFlash);
    run.Command(CmdLutControl, LutControlPayload(1, true, 1, 1));
    run.Command(CmdExposurePeriod, ExposureTimingPayload(kCrossMicroseconds, kCrossMicroseconds));
    run.Command(CmdTriggerMode, kTriggerMode);
    AppendUploadAndCheck(run);
    run.Command(CmdLedEnable, kLedsRgb);
    run.Command(CmdPatternStartStop, kSequenceStart);
    return run;
}

RunRecord ProjectFullFringes(int frequency)
{
    return CheckFullFringes(frequency) ? RunRecord{.invalid = true} : RunCommands(PlanFullFringes(frequency), false);
}

RunRecord ProjectRange(int frequency, int firstPicture, int lastPicture)
{
    return CheckRange(frequency, firstPicture, lastPicture)
               ? RunRecord{.invalid = true}
               : RunCommands(PlanRange(frequency, firstPicture, lastPicture), false);
}

RunRecord ProjectOnePicture(int frequency, int picture)
{
    return CheckOnePicture(frequency, picture) ? RunRecord{.invalid = true} : RunCommands(PlanOnePicture(frequency, picture), false);
}

RunRecord ProjectCross() { return RunCommands(PlanCross(), false); }

}  // namespace lumora
