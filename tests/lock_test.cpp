// The module's lock and the reasons an open failed, on the system the tests
// run on: Linux, or Windows under Wine.
#include "connection/module_lock.h"
#include "connection/open_failure.h"
#include "link/lock_handle.h"
#include "sim_fixture.h"

#include <cerrno>
#include <thread>

using namespace lumora;

namespace {

class Lock : public SimTest {
protected:
    // A module path of the test's own, so that no other test's hold meets it.
    static std::string Path(const char* name) { return sim::NodeDirectory() + "/" + name; }

    void SetUp() override
    {
        SimTest::SetUp();
        sim::SetModules({sim::DefaultModule(0), Module("lock-a"), Module("lock-b")});
    }

    static sim::Module Module(const char* name)
    {
        sim::Module module = sim::DefaultModule(0);
        module.path = Path(name);
        return module;
    }
};

TEST_F(Lock, ASecondHoldIsRefusedWithTheHolderUntilTheFirstLetsGo)
{
    int first = -1;
    int second = -1;
    LockHolder holder;
    int error = 0;
    ASSERT_EQ(LockModule(Path("lock-a"), first, holder, error), LockResult::Taken) << LockErrorText(error);
    EXPECT_GE(first, 0);

    EXPECT_EQ(LockModule(Path("lock-a"), second, holder, error), LockResult::Held);
    EXPECT_EQ(second, -1) << "nothing to keep when refused";
    EXPECT_EQ(holder.pid, OwnProcessId());
    EXPECT_EQ(holder.program, OwnProgramName());
    EXPECT_TRUE(Lockable(Path("lock-b"))) << "each module has a lock of its own";

    ReleaseLockHandle(first);
    EXPECT_TRUE(Lockable(Path("lock-a"))) << "letting go is immediate";
    ASSERT_EQ(LockModule(Path("lock-a"), second, holder, error), LockResult::Taken);
    ReleaseLockHandle(second);
}

TEST_F(Lock, EveryWayTheLinkClosesLetsTheModuleGo)
{
    const std::string path = sim::DefaultModule(0).path;
    ASSERT_TRUE(ConnectDevice());
    EXPECT_FALSE(Lockable(path));
    CloseDevice();
    EXPECT_TRUE(Lockable(path));

    ASSERT_TRUE(ConnectDevice());
    sim::FailReadAt(2);  // the acknowledgement's read: the link fails and closes the device
    StopSequence();
    EXPECT_EQ(deviceConnected, 0);
    EXPECT_TRUE(Lockable(path));
}

// Opened on one thread and closed on another, as the dialog's actions do:
// the lock belongs to the program, not to a thread.
TEST_F(Lock, IsTheProgramsNotAThreads)
{
    const std::string path = sim::DefaultModule(0).path;
    bool opened = false;
    std::thread([&opened] { opened = ConnectDevice(); }).join();
    ASSERT_TRUE(opened);
    EXPECT_FALSE(Lockable(path)) << "held after the opening thread ended";
    ReleaseDevice();
    EXPECT_TRUE(Lockable(path));
}

#ifdef _WIN32
TEST_F(Lock, DevicePathsThatDifferInCaseAreOneModule)
{
    int lock = -1;
    LockHolder holder;
    int error = 0;
    ASSERT_EQ(LockModule("\\\\?\\HID#VID_0451&PID_6401#7&1a2b", lock, holder, error), LockResult::Taken);
    EXPECT_FALSE(Lockable("\\\\?\\hid#vid_0451&pid_6401#7&1A2B"));
    ReleaseLockHandle(lock);
}
#endif

struct OpenFailureCase {
    const char* name;
    const char* detail;
    int error;
    OpenProblem problem;
};

class OpenFailures : public ::testing::TestWithParam<OpenFailureCase> {};

TEST_P(OpenFailures, AreToldApart)
{
    const OpenFailureCase& c = GetParam();
    EXPECT_EQ(ClassifyOpenFailure("", c.detail, c.error), c.problem);
}

#ifdef _WIN32
// hidapi's words: "open_device: (0x%08X) <Windows' text>".
const auto kOpenFailures = ::testing::Values(
    OpenFailureCase{"SharingViolation", "open_device: (0x00000020) The process cannot access the file", 0, OpenProblem::Busy},
    OpenFailureCase{"AccessDenied", "open_device: (0x00000005) Access is denied.", 0, OpenProblem::Busy},
    OpenFailureCase{"NotThere", "open_device: (0x00000002) The system cannot find the file specified.", 0, OpenProblem::Other},
    OpenFailureCase{"ErrnoMeansNothing", "open_device: (0x0000001F) A device attached to the system is not functioning.", EACCES, OpenProblem::Other});
#else
const auto kOpenFailures = ::testing::Values(
    OpenFailureCase{"PermissionDenied", "Failed to open a device with path 'x': Permission denied", 0, OpenProblem::NoAccess},
    OpenFailureCase{"Eacces", "", EACCES, OpenProblem::NoAccess},
    OpenFailureCase{"Eperm", "", EPERM, OpenProblem::NoAccess},
    OpenFailureCase{"Busy", "Failed to open a device with path 'x': Device or resource busy", 0, OpenProblem::Busy},
    OpenFailureCase{"Ebusy", "", EBUSY, OpenProblem::Busy},
    OpenFailureCase{"Other", "Failed to open a device with path 'x': No such device", ENODEV, OpenProblem::Other});
#endif

INSTANTIATE_TEST_SUITE_P(System, OpenFailures, kOpenFailures, CaseName());

}  // namespace
