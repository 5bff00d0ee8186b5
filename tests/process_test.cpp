// The unchanged lumoractl as separate processes, with the simulated
// controller preloaded: two programs against one module, a reader that goes
// away in the middle of an upload, and an output that cannot be written.
#include "scratch_directory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int CountOf(const std::string& text, const std::string& what)
{
    int count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

// A scratch directory shared by the processes of one test: the simulated
// module's node lives there, so that they all see one module.
class Processes : public ::testing::Test {
protected:

    fs::path File(const std::string& name) const { return dir_ / name; }
    std::string Node() const { return (dir_ / "nodes" / "hidraw0").string(); }

    // Starts lumoractl with the simulator preloaded; its packets are traced
    // to NAME.sim. stdout goes to `out`; stderr to NAME.err, or stays this
    // process's own when `keepErr`.
    pid_t Start(const std::vector<std::string>& args, const std::string& name, const std::string& out = "",
                bool keepErr = false, const std::vector<std::string>& settings = {})
    {
        std::vector<std::string> environment = {
            "LD_PRELOAD=" SIM_PRELOAD_PATH,
            "LUMORA_SIM_DIR=" + (dir_ / "nodes").string(),
            "LUMORA_SIM_TRACE=" + File(name + ".sim").string(),
        };
        environment.insert(environment.end(), settings.begin(), settings.end());
        std::vector<std::string> argv = {LUMORACTL_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        const auto pointers = [](std::vector<std::string>& strings) {
            std::vector<char*> list;
            for (std::string& text : strings) {
                list.push_back(text.data());
            }
            list.push_back(nullptr);
            return list;
        };

        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        const std::string outPath = out.empty() ? File(name + ".out").string() : out;
        const std::string errPath = File(name + ".err").string();
        posix_spawn_file_actions_addopen(&files, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (!keepErr) {
            posix_spawn_file_actions_addopen(&files, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        }
        pid_t pid = -1;
        std::vector<char*> argvPointers = pointers(argv);
        std::vector<char*> envPointers = pointers(environment);
        EXPECT_EQ(posix_spawn(&pid, argv[0].c_str(), &files, nullptr, argvPointers.data(), envPointers.data()), 0);
        posix_spawn_file_actions_destroy(&files);
        return pid;
    }

    static int Wait(pid_t pid)
    {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // Whether some program holds the module's lock right now.
    bool Held() const
    {
        const int fd = ::open(Node().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return false;
        }
        const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);
        return held;
    }

    // Waits (a few seconds at most) until the module's lock is taken.
    bool WaitUntilHeld() const
    {
        for (int tries = 0; tries < 500 && !Held(); ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return Held();
    }

    ScratchDirectory scratch_;
    const fs::path& dir_ = scratch_.Path();
};

TEST_F(Processes, ASecondProgramIsRefusedWhileTheFirstHoldsTheModule)
{
    // The preset holds the module through its one-second pause.
    const pid_t first = Start({"fringes"}, "first");
    ASSERT_TRUE(WaitUntilHeld());
    const pid_t second = Start({"pause"}, "second");

    EXPECT_EQ(Wait(second), 1);
    EXPECT_THAT(Slurp(File("second.err")),
                ::testing::HasSubstr("is held by another program (lumoractl, process " + std::to_string(first) + ")."));
    EXPECT_EQ(Slurp(File("second.sim")), "") << "the second program sent nothing";

    EXPECT_EQ(Wait(first), 0) << Slurp(File("first.err"));
    EXPECT_EQ(CountOf(Slurp(File("first.sim")), "sim: seq"), 29) << "the first program's run is whole";
    EXPECT_FALSE(Held());

    // Once the first is gone, the module is free again.
    EXPECT_EQ(Wait(Start({"pause"}, "third")), 0) << Slurp(File("third.err"));
}

TEST_F(Processes, TheLockDiesWithItsHolder)
{
    const pid_t holder = Start({"fringes"}, "holder");
    ASSERT_TRUE(WaitUntilHeld());
    ::kill(holder, SIGKILL);
    EXPECT_EQ(Wait(holder), 128 + SIGKILL);
    EXPECT_FALSE(Held());
    EXPECT_EQ(Wait(Start({"stop"}, "after")), 0) << Slurp(File("after.err"));
}

// The trace's reader is gone before the first line (a pipe whose reading
// end is closed, as after "| head -1"): the upload still runs to its end,
// and the outcome still reaches stdout.
TEST_F(Processes, AClosedTracePipeEndsTheTraceNotTheAction)
{
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    ::close(pipeEnds[0]);
    const int savedErr = ::dup(2);
    ::dup2(pipeEnds[1], 2);  // the child inherits the broken pipe as stderr
    const pid_t pid = Start({"--trace", "fringes"}, "traced", "", true);
    ::dup2(savedErr, 2);
    ::close(savedErr);
    ::close(pipeEnds[1]);

    EXPECT_EQ(Wait(pid), 0) << "not ended by SIGPIPE";
    EXPECT_EQ(Slurp(File("traced.out")), "Project Full Fringes at 10 Hz: sent; the controller accepted the tables; the sequence was started.\n");
    EXPECT_EQ(CountOf(Slurp(File("traced.sim")), "sim: seq"), 29) << "every packet was still sent";
}

// A signal in the middle of an upload to a silent module: the first cancels
// the action, which says what went out, frees the module and exits 130; a
// second ends the program at once.
TEST_F(Processes, ASignalCancelsTheActionAndASecondEndsTheProgram)
{
    for (const int signals : {1, 2}) {
        SCOPED_TRACE(std::to_string(signals) + " signal(s)");
        const pid_t pid = Start({"fringes"}, "cancelled", "", false, {"LUMORA_SIM_ACK=silent", "LUMORA_SIM_REAL_TIMEOUTS=1"});
        ASSERT_TRUE(WaitUntilHeld());
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const auto sent = std::chrono::steady_clock::now();
        for (int i = 0; i < signals; ++i) {
            ::kill(pid, i == 0 ? SIGINT : SIGTERM);
        }
        EXPECT_EQ(Wait(pid), 130);
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sent);
        EXPECT_LT(took.count(), 1000);
        std::printf("signal to exit: %lld ms\n", static_cast<long long>(took.count()));
        EXPECT_FALSE(Held());
        if (signals == 1) {
            EXPECT_EQ(Slurp(File("cancelled.err")),
                      "lumoractl: warning: Project Full Fringes at 10 Hz: cancelled after 1 of 29 commands; the sequence "
                      "was not started.\n");
        }
    }
}

TEST_F(Processes, AnOutputThatCannotBeWrittenFailsInOneLine)
{
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full here";
    }
    for (const std::vector<std::string>& args : {std::vector<std::string>{"list"}, {"--version"}, {"stop"}}) {
        EXPECT_EQ(Wait(Start(args, "full", "/dev/full")), 1) << args[0];
        EXPECT_EQ(Slurp(File("full.err")), "lumoractl: cannot write to standard output: No space left on device\n")
            << args[0];
    }
}

}  // namespace
