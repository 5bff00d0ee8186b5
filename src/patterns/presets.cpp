#include "patterns/presets.h"

#include "link/commands.h"
#include "patterns/lut.h"

#include <array>

namespace lumora {

namespace {

constexpr std::uint8_t kLedsRgb = 0x07;
constexpr std::int32_t kCrossMicroseconds = 8333;
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

bool InRange(int value, int low, int high) { return value >= low && value <= high; }
bool ValidFrequency(int frequency) { return InRange(frequency, kMinFrequency, kMaxFrequency); }
bool ValidPicture(int picture) { return InRange(picture, kMinPicture, kMaxPicture); }

// Exposure and frame period, in whole microseconds.
std::int32_t PeriodMicroseconds(int frequency) { return 1000000 / frequency; }

// The pattern table has been filled; upload both tables and have them checked.
void UploadAndValidate(int patternCount, int imageCount, const std::uint8_t* images)
{
    PatternLut.count = static_cast<std::uint32_t>(patternCount);
    UploadPatternLut();
    UploadImageLut(imageCount, images);
    int status = 0;
    WaitLutValid(status);  // the verdict is not acted on
}

// LEDs on at 120 each, start the sequence, and after a one-second pause
// start it again seven times.
void StartTail()
{
    CommandRun tail;
    AppendStartTail(tail, kLedCurrent, kLedCurrent, kLedCurrent);
    RunCommands(tail, false);
}

}  // namespace

void ProjectFullFringes(int frequency)
{
    if (!ValidFrequency(frequency)) {
        return;
    }
    const std::int32_t period = PeriodMicroseconds(frequency);
    PatternLut.count = 0;
    for (std::size_t i = 0; i < kFullFringeWords.size(); ++i) {
        PatternLut.entries[i] = kFullFringeWords[i];
    }
    std::uint8_t images[kFullFringeImages];
    for (int k = 0; k < kFullFringeImages; ++k) {
        images[k] = static_cast<std::uint8_t>(k);
    }

    SendByteCommand(CmdDisplayMode, kPatternMode);
    SendByteCommand(CmdPatternSource, kSourceFlash);
    ConfigureSequence(kFullFringePatterns, kFullFringePatterns, kFullFringeImages);
    SendByteCommand(CmdLongAxisFlip, kFlipOff);
    SendByteCommand(CmdShortAxisFlip, kFlipOn);
    SetExposureTiming(period, period);
    SendByteCommand(CmdTriggerMode, kTriggerMode);
    UploadAndValidate(kFullFringePatterns, kFullFringeImages, images);
    StartTail();
}

void ProjectRange(int frequency, int firstPicture, int lastPicture)
{
    if (!ValidFrequency(frequency) || !ValidPicture(firstPicture) || !ValidPicture(lastPicture) ||
        firstPicture > lastPicture) {
        return;
    }
    const std::int32_t period = PeriodMicroseconds(frequency);
    const int first = firstPicture - 1;
    const int last = lastPicture - 1;
    const int count = last - first + 1;
    PatternLut.count = 0;
    // One image index per pattern, not one per image.
    std::uint8_t images[kMaxPicture];
    for (int k = 0; first + k <= last; ++k) {
        PatternLut.entries[k] = PatternRuleWord(first + k);
        images[k] = static_cast<std::uint8_t>((first + k) / kPatternsPerImage);
    }

    SendByteCommand(CmdDisplayMode, kPatternMode);
    SendByteCommand(CmdPatternSource, kSourceFlash);
    ConfigureSequence(count, 1, count);
    SendByteCommand(CmdLongAxisFlip, kFlipOff);
    SendByteCommand(CmdShortAxisFlip, kFlipOn);
    SetExposureTiming(period, period);
    SendByteCommand(CmdTriggerMode, kTriggerMode);
    UploadAndValidate(count, count, images);
    StartTail();
}

void ProjectOnePicture(int frequency, int picture)
{
    if (!ValidFrequency(frequency) || !ValidPicture(picture)) {
        return;
    }
    const std::int32_t period = PeriodMicroseconds(frequency);
    const int pattern = picture - 1;
    PatternLut.count = 0;
    PatternLut.entries[0] = PatternRuleWord(pattern);
    const std::uint8_t image = static_cast<std::uint8_t>(pattern / kPatternsPerImage);

    // No display-mode command: the controller stays in the mode it is in.
    SendByteCommand(CmdPatternSource, kSourceFlash);
    ConfigureSequence(1, 1, 1);
    SendByteCommand(CmdLongAxisFlip, kFlipOff);
    SendByteCommand(CmdShortAxisFlip, kFlipOn);
    SetExposureTiming(period, period);
    SendByteCommand(CmdTriggerMode, kTriggerMode);
    UploadAndValidate(1, 1, &image);
    StartTail();
}

void ProjectCross()
{
    PatternLut.count = 0;
    PatternLut.entries[0] = kCrossWord;
    const std::uint8_t image = kCrossImage;

    // No display mode, no axis flips, no LED polarity or currents, one start.
    SendByteCommand(CmdPatternSource, kSourceFlash);
    ConfigureSequence(1, 1, 1);
    SetExposureTiming(kCrossMicroseconds, kCrossMicroseconds);
    SendByteCommand(CmdTriggerMode, kTriggerMode);
    UploadAndValidate(1, 1, &image);
    SendByteCommand(CmdLedEnable, kLedsRgb);
    SendByteCommand(CmdPatternStartStop, kSequenceStart);
}

}  // namespace lumora
