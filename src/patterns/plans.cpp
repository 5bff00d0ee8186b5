#include "patterns/plans.h"

#include "link/commands.h"

#include <array>

namespace lumora {

namespace {

constexpr std::uint8_t kDelay = 0xBB;

struct VideoModeStep {
    CommandId command;
    std::array<std::uint8_t, 4> payload;  // the first payloadLength bytes go out
};

constexpr VideoModeStep kVideoModeSequence[] = {
    {CmdLongAxisFlip, {0x00}},
    {CmdShortAxisFlip, {0x01}},
    {CmdDisplayMode, {0x00}},
    {CmdTrigIn1Delay, {0x01, 0x00, 0x00, 0x00}},
    {CmdTrigOut1, {0x00, kDelay, kDelay}},
    {CmdTrigOut2, {0x00, kDelay}},
    {CmdRedDelay, {kDelay, kDelay}},
    {CmdGreenDelay, {kDelay, kDelay}},
    {CmdBlueDelay, {kDelay, kDelay}},
    {CmdLedEnable, {0x08}},
    {CmdLedPwmPolarity, {0x00}},
    {CmdLedCurrent, {kLedCurrent, kLedCurrent, kLedCurrent}},
    {CmdDisplayMode, {0x00}},
    {CmdInputSource, {0x02}},
    {CmdImageLoad, {0x00}},
    {CmdPortClock, {0x00}},
    {CmdPixelFormat, {0x00}},
    {CmdFpdMode, {0xC9}},
};

}  // namespace

CommandRun PlanVideoMode()
{
    CommandRun run;
    for (const VideoModeStep& step : kVideoModeSequence) {
        run.Command(step.command, std::span(step.payload.data(), CommandTable[step.command].payloadLength));
    }
    return run;
}

CommandRun PlanPause()
{
    CommandRun run;
    run.Command(CmdPatternStartStop, kSequencePause);
    return run;
}

CommandRun PlanStop()
{
    CommandRun run;
    run.Command(CmdPatternStartStop, kSequenceStop);
    return run;
}

CommandRun PlanLedCurrents(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    CommandRun run;
    const std::uint8_t currents[] = {red, green, blue};
    run.Command(CmdLedCurrent, currents);
    return run;
}

}  // namespace lumora
