// The four projection presets: each reprograms the controller's pattern
// sequence from images in its flash and starts it, as one straight run of
// commands that branches on no result. Each is a command run (command_run.h)
// planned from its arguments.
//
// Frequencies are in Hz (1 to 120), pictures are numbered from 1 (1 to 31) as
// the operator types them. The rules for those numbers are written here once;
// every front end takes its limits from them. A preset given anything outside
// them, or a range whose first picture lies above its last, sends nothing at
// all, and its record says so.
#pragma once

#include "patterns/command_run.h"  // SetPauseFunction, InStartPause: the start tail's pause

#include <string_view>

namespace lumora {

inline constexpr int kMinFrequency = 1;
inline constexpr int kMaxFrequency = 120;
inline constexpr int kMinPicture = 1;
inline constexpr int kMaxPicture = 31;

// A number an action takes, with its inclusive range and its name in messages.
struct NumberRule {
    std::string_view name;
    int low;
    int high;

    constexpr bool Holds(int value) const { return value >= low && value <= high; }
};
inline constexpr NumberRule kFrequencyRule = {"the frequency (Hz)", kMinFrequency, kMaxFrequency};
inline constexpr NumberRule kPictureRule = {"the picture P", kMinPicture, kMaxPicture};
inline constexpr NumberRule kFirstRule = {"the first picture M", kMinPicture, kMaxPicture};
inline constexpr NumberRule kLastRule = {"the last picture N", kMinPicture, kMaxPicture};
inline constexpr NumberRule kRedRule = {"the red LED current", 0, 255};
inline constexpr NumberRule kGreenRule = {"the green LED current", 0, 255};
inline constexpr NumberRule kBlueRule = {"the blue LED current", 0, 255};

// The first rule a set of arguments breaks: a number outside its rule, or a
// range whose first picture lies above its last. Empty when none is broken.
struct RuleBreak {
    const NumberRule* rule = nullptr;
    int value = 0;  // the number that broke it
    bool rangeOrder = false;

    explicit operator bool() const { return rule != nullptr || rangeOrder; }
};
RuleBreak CheckFullFringes(int frequency);
RuleBreak CheckRange(int frequency, int firstPicture, int lastPicture);
RuleBreak CheckOnePicture(int frequency, int picture);
RuleBreak CheckLedCurrents(int red, int green, int blue);

// The runs of the presets; the arguments must keep the rules above.
CommandRun PlanFullFringes(int frequency);
CommandRun PlanRange(int frequency, int firstPicture, int lastPicture);
CommandRun PlanOnePicture(int frequency, int picture);
CommandRun PlanCross();

// 31 patterns from flash images 0 to 10 at frequency Hz.
RunRecord ProjectFullFringes(int frequency);
// The patterns of pictures first to last at frequency Hz.
RunRecord ProjectRange(int frequency, int firstPicture, int lastPicture);
// One picture at frequency Hz.
RunRecord ProjectOnePicture(int frequency, int picture);
// One fixed pattern of flash image 4 at 8333 us.
RunRecord ProjectCross();

}  // namespace lumora
