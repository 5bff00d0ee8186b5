// Opening the controller, its lock, and the video-mode start-up sequence.
#include "connection/diagnosis.h"
#include "connection/module_lock.h"
#include "sim_fixture.h"

#include <cstdio>

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
    EXPECT_THAT(CallNames(), ElementsAre("hid_init", "hid_enumerate"));  // nothing to open
}

TEST_F(Connection, ConnectTwiceClosesTheFirstBeforeOpeningTheSecond)
{
    EXPECT_TRUE(ConnectDevice());
    EXPECT_TRUE(ConnectDevice());
    // Each open reads away what is waiting, without waiting itself.
    EXPECT_THAT(CallNames(), ElementsAre("hid_init", "hid_enumerate", "hid_open_path", "hid_read_timeout", "hid_close",
                                         "hid_init", "hid_enumerate", "hid_open_path", "hid_read_timeout"));
    EXPECT_EQ(sim::OpenHandleCount(), 1);
    EXPECT_TRUE(sim::Packets().empty());  // connecting sends no command
}

TEST_F(Connection, StartBeforeAnyConnectReachesTheControllerAfterTheStartUpRelease)
{
    EnterStartupState();
    StartVideoMode();
    EXPECT_EQ(CallNames()[0], "hid_exit");
    EXPECT_EQ(CallNames()[1], "hid_enumerate");  // no hid_init in between
    EXPECT_EQ(CallNames()[2], "hid_open_path");
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
    // What waits is read away at the open and again before the first write.
    EXPECT_THAT(std::vector<std::string>(calls.begin(), calls.begin() + 6),
                ElementsAre("hid_close", "hid_enumerate", "hid_open_path", "hid_read_timeout", "hid_read_timeout",
                            "hid_write"));
    EXPECT_THAT(Sent(), ElementsAreArray(kVideoMode));
    for (std::size_t i = 0; i < sim::Packets().size(); ++i) {
        EXPECT_EQ(sim::Packets()[i].sequence, static_cast<std::uint8_t>(first + i));
        EXPECT_EQ(sim::Packets()[i].handle, sim::Calls()[2].handle);  // all through the new handle
    }
    EXPECT_EQ(sim::CallCount("hid_read_timeout"), 1 + 18 * 2);  // the open's read-away; each command's and its ack
    EXPECT_NE(deviceHandle, before);
}

TEST_F(Connection, StartWithNoModuleProducesNoTraffic)
{
    sim::SetModuleCount(0);
    StartVideoMode();
    EXPECT_THAT(CallNames(), ElementsAre("hid_enumerate"));
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

using ModuleLock = SimTest;

TEST_F(ModuleLock, AModuleHeldByAnotherProgramIsClosedAgainAndNamesItsHolder)
{
    const std::string path = sim::DefaultModule(0).path;
    const OtherProgram other(path);
    EXPECT_FALSE(ConnectDevice());
    EXPECT_EQ(deviceConnected, 0);
    EXPECT_EQ(sim::OpenHandleCount(), 0);

    const OpenDiagnosis why = DiagnoseOpenFailure();
    EXPECT_EQ(why.problem, OpenProblem::Busy);
    EXPECT_EQ(why.path, path);
    EXPECT_EQ(why.holderPid, OwnProcessId());
    EXPECT_EQ(why.holder, OwnProgramName());

    StartVideoMode();  // opens, finds the lock held, sends nothing
    EXPECT_EQ(sim::CallCount("hid_write"), 0);
    EXPECT_EQ(linkCounters.noDevice, 18U);
}

TEST_F(ModuleLock, IsHeldFromOpenToEveryKindOfClose)
{
    const std::string path = sim::DefaultModule(0).path;
    ASSERT_TRUE(ConnectDevice());
    EXPECT_FALSE(Lockable(path));
    EXPECT_TRUE(ConnectDevice()) << "reconnecting closes first, so the program's own lock never blocks it";
    ReleaseDevice();
    EXPECT_TRUE(Lockable(path));

    ASSERT_TRUE(ConnectDevice());
    sim::FailWriteAt(1);
    EXPECT_EQ(StopSequence(), -1);  // a link failure closes the device
    EXPECT_TRUE(Lockable(path));
}

// On Windows the lock is a named object and needs no node.
#ifndef _WIN32
TEST_F(ModuleLock, ANodeThatCannotBeLockedIsNoOpenModule)
{
    const std::string path = sim::DefaultModule(0).path;
    ASSERT_EQ(std::remove(path.c_str()), 0);
    EXPECT_FALSE(ConnectDevice());
    EXPECT_EQ(sim::OpenHandleCount(), 0);
    const OpenDiagnosis why = DiagnoseOpenFailure();
    EXPECT_EQ(why.problem, OpenProblem::Other);
    EXPECT_THAT(why.detail, ::testing::HasSubstr("No such file or directory"));
    sim::SetModuleCount(1);  // puts the node back
}
#endif

TEST_F(ModuleLock, TheOpenedModuleIsKnownWhileOpen)
{
    sim::SetModuleCount(2);
    SelectModule(L"SIM0002");
    ASSERT_TRUE(ConnectDevice());
    EXPECT_EQ(OpenedModule().path, sim::DefaultModule(1).path);
    EXPECT_EQ(OpenedModule().serial, "SIM0002");
    ReleaseDevice();
    SelectModule(L"");
    EXPECT_EQ(OpenedModule().path, "");
}

}  // namespace
