// The state every test starts from: the link as at start-up and a fresh
// simulated controller. Free of any test framework, for GoogleTest and
// QtTest alike, and for the fuzz targets and benchmarks.
#pragma once

#include "connection/connection.h"
#include "link/link.h"
#include "patterns/command_run.h"
#include "patterns/lut.h"
#include "sim/sim_controller.h"

// The open handle is forgotten, not closed: the simulator's reset drops it.
// A lock left behind is released; the counters, the activity, the sequence
// number and the last table check are cleared; the start tail pauses and
// the table check is waited for as in production; no report observer is set;
// no module is chosen.
inline void ResetLinkState()
{
    lumora::deviceHandle = nullptr;
    lumora::CloseDevice();
    lumora::sequenceNumber = 0;
    lumora::ClearLinkCounters();
    lumora::linkActivity.commandWord = 0;
    lumora::linkActivity.readsStarted = 0;
    lumora::linkActivity.readsFinished = 0;
    lumora::ClearLutValidation();
    lumora::SetPauseFunction(nullptr);
    lumora::SetStatusPollBound(lumora::kStatusPollBound);
    lumora::SetReportTrace(nullptr);
    lumora::SelectModule(lumora::ModuleChoice{});
    sim::Reset();
}
