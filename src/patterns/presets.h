// The four projection presets: each reprograms the controller's pattern
// sequence from images in its flash and starts it, as one straight run of
// commands that branches on no result.
//
// Frequencies are in Hz (1 to 120), pictures are numbered from 1 (1 to 31) as
// the operator types them. A preset given anything outside those ranges, or a
// range whose first picture lies above its last, sends nothing at all.
#pragma once

#include "patterns/command_run.h"  // SetPauseFunction, InStartPause: the start tail's pause

namespace lumora {

inline constexpr int kMinFrequency = 1;
inline constexpr int kMaxFrequency = 120;
inline constexpr int kMinPicture = 1;
inline constexpr int kMaxPicture = 31;

// 31 patterns from flash images 0 to 10 at frequency Hz.
void ProjectFullFringes(int frequency);
// The patterns of pictures first to last at frequency Hz.
void ProjectRange(int frequency, int firstPicture, int lastPicture);
// One picture at frequency Hz.
void ProjectOnePicture(int frequency, int picture);
// One fixed pattern of flash image 4 at 8333 us.
void ProjectCross();

}  // namespace lumora
