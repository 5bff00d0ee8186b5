// Opening the controller and the video-mode start-up sequence.
#include "sim_fixture.h"

using namespace lumora;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

const std::vector<std::string> kVideoMode = {
    "CmdLongAxisFlip [00]",  "CmdShortAxisFlip [01]",  "CmdDisplayMode [00]",       "CmdTrigIn1Delay [01 00 00 00]",
    "CmdTrigOut1 [00 BB BB]", "CmdTrigOut2 [00 BB]",   "CmdRedDelay [BB BB]",       "CmdGreenDelay [BB BB]",
    "CmdBlueDelay [BB BB]",  "CmdLedEnable [08]",      "CmdLedPwmPolarity [00]",    "CmdLedCurrent [78 78 78]",
    "CmdDisplayMode [00]",   "CmdInputSource [02]",    "CmdImageLoad [00]",         "CmdPortClock [00]",
    "CmdPixelFormat [00]",   "CmdFpdMode [C9]",
};

using Connection = SimTest;

TEST_F(Connection, StartUpStateReleasesTheLibraryOnceAndSendsNothing)
{
    EnterStartupState();
    EXPECT_THAT(CallNames(), ElementsAre("hid_exit"));
    EXPECT_EQ(deviceConnected, 0);
    EXPECT_EQ(deviceHandle, nullptr);
}

TEST_F(Connection, ConnectWithNoModuleYieldsFalse)
{
    sim::SetModuleCount(0);
    EXPECT_FALSE(ConnectDevice());
    EXPECT_EQ(deviceConnected, 0);
    EXPECT_THAT(CallNames(), ElementsAre("hid_init", "hid_open"));
}

TEST_F(Connection, ConnectTwiceClosesTheFirstBeforeOpeningTheSecond)
{
    EXPECT_TRUE(ConnectDevice());
    EXPECT_TRUE(ConnectDevice());
    EXPECT_THAT(CallNames(), ElementsAre("hid_init", "hid_open", "hid_close", "hid_init", "hid_open"));
    EXPECT_EQ(sim::OpenHandleCount(), 1);
    EXPECT_TRUE(sim::Packets().empty());  // connecting sends no command
}

TEST_F(Connection, StartBeforeAnyConnectReachesTheControllerAfterTheStartUpRelease)
{
    EnterStartupState();
    StartVideoMode();
    EXPECT_EQ(CallNames()[0], "hid_exit");
    EXPECT_EQ(CallNames()[1], "hid_open");  // no hid_init in between
    EXPECT_EQ(sim::CallCount("hid_init"), 0);
    EXPECT_THAT(Sent(), ElementsAreArray(kVideoMode));
    EXPECT_EQ(deviceConnected, 1);
}

TEST_F(Connection, StartAfterConnectReopensAndSendsTheEighteenCommandsInOrder)
{
    Connect();
    hid_device* const before = deviceHandle;
    const std::uint8_t first = sequenceNumber;
    StartVideoMode();
    const std::vector<std::string> calls = CallNames();
    EXPECT_THAT(std::vector<std::string>(calls.begin(), calls.begin() + 3),
                ElementsAre("hid_close", "hid_open", "hid_write"));
    EXPECT_THAT(Sent(), ElementsAreArray(kVideoMode));
    for (std::size_t i = 0; i < sim::Packets().size(); ++i) {
        EXPECT_EQ(sim::Packets()[i].sequence, static_cast<std::uint8_t>(first + i));
        EXPECT_EQ(sim::Packets()[i].handle, sim::Calls()[1].handle);  // all through the new handle
    }
    EXPECT_EQ(sim::CallCount("hid_read_timeout"), 18);
    EXPECT_NE(deviceHandle, before);
}

TEST_F(Connection, StartWithNoModuleProducesNoTraffic)
{
    sim::SetModuleCount(0);
    StartVideoMode();
    EXPECT_THAT(CallNames(), ElementsAre("hid_open"));
    EXPECT_EQ(linkCounters.noDevice, 18U);
}

TEST_F(Connection, StartRunsItsWholeListWhenTheControllerRefusesEverything)
{
    sim::SetAckMode(sim::AckMode::ErrorFlag);
    StartVideoMode();
    EXPECT_EQ(sim::Packets().size(), 18U);
    EXPECT_EQ(linkCounters.refusals, 18U);
}

TEST_F(Connection, ReleaseClosesAnOpenDevice)
{
    Connect();
    ReleaseDevice();
    EXPECT_THAT(CallNames(), ElementsAre("hid_close", "hid_exit"));
    EXPECT_EQ(sim::OpenHandleCount(), 0);
    EXPECT_EQ(deviceConnected, 0);
}

}  // namespace
