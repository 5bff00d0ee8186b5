// The command runs of the actions that are not presets: the video-mode
// settings that START sends once the module is open, pause, stop, and the
// LED currents of a running sequence.
#pragma once

#include "patterns/command_run.h"

#include <cstdint>

namespace lumora {

// The 18 video-mode start-up settings, in the order they are sent.
CommandRun PlanVideoMode();
// CmdPatternStartStop [01] and [00].
CommandRun PlanPause();
CommandRun PlanStop();
// CmdLedCurrent with the three currents, red first.
CommandRun PlanLedCurrents(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

}  // namespace lumora
