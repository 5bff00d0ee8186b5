// The simulated controller's scripted results and its zero-cost mode, as the
// link sees them.
#include "patterns/lut.h"
#include "patterns/presets.h"
#include "sim_fixture.h"

using namespace lumora;
using ::testing::ElementsAre;

namespace {

struct ScriptCase {
    const char* name;
    int scripted;            // what the read script returns
    int readResult;          // what ReadReport then gives
    bool linkStaysUp;
};

class ReadScript : public SimTest, public ::testing::WithParamInterface<ScriptCase> {};

TEST_P(ReadScript, ReplacesTheControllersAnswer)
{
    const ScriptCase& c = GetParam();
    Connect();
    sim::SetReadScript([&c](std::uint8_t* data, std::size_t) {
        data[0] = 0x5A;
        return c.scripted;
    });
    EXPECT_EQ(ReadReport(), c.readResult);
    EXPECT_EQ(deviceConnected, c.linkStaysUp ? 1 : 0);
    if (c.readResult > 0) {
        EXPECT_EQ(InputReport[0], 0x5A);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadScript,
                         ::testing::Values(ScriptCase{"Fails", -1, -1, false},
                                           ScriptCase{"AnyNegativeFails", -7, -1, false},
                                           ScriptCase{"TimesOut", 0, 0, true},
                                           ScriptCase{"Delivers", 5, 5, true},
                                           ScriptCase{"CutToTheBuffer", 400, 65, true},
                                           ScriptCase{"ControllerAnswers", sim::kControllerAnswer, 0, true}),
                         CaseName());

TEST_F(SimTest, WriteScriptSetsTheResultAndTheReportStillArrives)
{
    Connect();
    std::vector<int> results = {0, sim::kControllerAnswer, -1};
    sim::SetWriteScript([&results](std::size_t) {
        const int result = results.front();
        results.erase(results.begin());
        return result;
    });
    EXPECT_EQ(PauseSequence(), 7);
    EXPECT_THAT(CallNames(), ElementsAre("hid_read_timeout", "hid_write"))
        << "a write of nothing waits for no acknowledgement (the read before it takes away what waits)";
    EXPECT_EQ(StopSequence(), 7);
    EXPECT_EQ(StopSequence(), -1);
    EXPECT_THAT(Sent(), ElementsAre("CmdPatternStartStop [01]", "CmdPatternStartStop [00]"));
    EXPECT_EQ(deviceConnected, 0);
}

TEST_F(SimTest, ZeroCostModeRunsAPresetToItsEndAndRecordsNothing)
{
    SetPauseFunction([](int) {});
    Connect();
    sim::SetZeroCost(true);
    ProjectFullFringes(10);
    EXPECT_EQ(linkCounters.commandsSent, 28u);
    EXPECT_EQ(linkCounters.commandsFailed, 0u);
    EXPECT_EQ(lastLutValidation.result, 0);
    EXPECT_THAT(sim::Calls(), ::testing::IsEmpty());
    EXPECT_THAT(sim::Packets(), ::testing::IsEmpty());

    sim::Reset();
    sim::SetZeroCost(true);
    EXPECT_EQ(PauseSequence(), -1) << "a closed handle is still refused";
    // The first touch of the closed handle is the read that takes away what waits.
    EXPECT_THAT(sim::Violations(), ::testing::Contains(::testing::HasSubstr("hid_read_timeout on handle")));
    sim::ClearRecords();
}

}  // namespace
