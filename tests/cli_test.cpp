// lumoractl's commands and exit codes against the simulated controller.
#include "cli/cli.h"
#include "patterns/lut.h"
#include "patterns/presets.h"
#include "sim_fixture.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <sstream>

using namespace lumora;

namespace {

struct CliCase {
    const char* name;
    std::vector<std::string> args;
    int modules;
    sim::AckMode ack;
    int failWrite;
    int exitCode;
    std::size_t packets;
    const char* errorText;  // "" when stderr must stay empty
};

// Presets run with the pause skipped and a short bound on a busy controller.
class CliTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        SetPauseFunction([](int) {});
        SetStatusPollBound(std::chrono::milliseconds(20));
    }
    void TearDown() override
    {
        SetPauseFunction(nullptr);
        SetStatusPollBound(kStatusPollBound);
        SimTest::TearDown();
    }
};

class Cli : public CliTest, public ::testing::WithParamInterface<CliCase> {};

TEST_P(Cli, ExitCodeAndMessageFollowWhatTheLinkSaw)
{
    const CliCase& c = GetParam();
    sim::SetModuleCount(c.modules);
    sim::SetAckMode(c.ack);
    sim::FailWriteAt(c.failWrite);
    std::ostringstream out;
    std::ostringstream err;

    EXPECT_EQ(cli::Run(c.args, out, err), c.exitCode);

    EXPECT_EQ(sim::Packets().size(), c.packets);
    if (*c.errorText == '\0') {
        EXPECT_EQ(err.str(), "");
    } else {
        EXPECT_THAT(err.str(), ::testing::HasSubstr(c.errorText));
    }
    EXPECT_EQ(sim::OpenHandleCount(), 0) << "the device is closed before exit";
    if (c.exitCode == cli::kExitUsage) {
        EXPECT_EQ(sim::CallCount("hid_open") + sim::CallCount("hid_write"), 0);
    }
}

const auto Ok = sim::AckMode::Ok;
INSTANTIATE_TEST_SUITE_P(
    Commands, Cli,
    ::testing::Values(
        CliCase{"ConnectFound", {"connect"}, 1, Ok, 0, 0, 0, ""},
        CliCase{"ConnectMissing", {"connect"}, 0, Ok, 0, 1, 0, "no controller found"},
        CliCase{"Pause", {"pause"}, 1, Ok, 0, 0, 1, ""},
        CliCase{"Stop", {"stop"}, 1, Ok, 0, 0, 1, ""},
        CliCase{"StopMissing", {"stop"}, 0, Ok, 0, 1, 0, "no controller found"},
        CliCase{"StopRefused", {"stop"}, 1, sim::AckMode::ErrorFlag, 0, 1, 1, "refused 1 command"},
        CliCase{"StopUnacknowledged", {"stop"}, 1, sim::AckMode::Silent, 0, 0, 1, "warning: 1 command was not"},
        CliCase{"Start", {"start"}, 1, Ok, 0, 0, 18, ""},
        CliCase{"StartMissing", {"start"}, 0, Ok, 0, 1, 0, "no controller found"},
        CliCase{"StartLinkFails", {"start"}, 1, Ok, 3, 1, 2, "link to the controller failed"},
        CliCase{"StartRefused", {"start"}, 1, sim::AckMode::ErrorFlag, 0, 1, 18, "refused 18 commands"},
        CliCase{"UnknownCommand", {"project"}, 1, Ok, 0, 2, 0, "unknown command 'project'"},
        CliCase{"StrayArgument", {"pause", "now"}, 1, Ok, 0, 2, 0, "takes no argument 'now'"},
        CliCase{"UnknownOption", {"--fast", "stop"}, 1, Ok, 0, 2, 0, "unknown option '--fast'"},
        CliCase{"NoCommand", {}, 1, Ok, 0, 2, 0, "no command given"},
        CliCase{"Version", {"--version"}, 1, Ok, 0, 0, 0, ""},
        CliCase{"FringesAtTheDefault", {"fringes"}, 1, Ok, 0, 0, 29, ""},
        CliCase{"FringesAt120", {"fringes", "-f", "120"}, 1, Ok, 0, 0, 29, ""},
        CliCase{"Range", {"range", "--frequency", "7", "10", "20"}, 1, Ok, 0, 0, 29, ""},
        CliCase{"RangeOfOne", {"range", "31", "31"}, 1, Ok, 0, 0, 29, ""},
        CliCase{"Picture", {"picture", "12", "-f", "1"}, 1, Ok, 0, 0, 28, ""},
        CliCase{"Cross", {"cross"}, 1, Ok, 0, 0, 16, ""},
        CliCase{"CrossMissing", {"cross"}, 0, Ok, 0, 1, 0, "no controller found"},
        CliCase{"FringesRefused", {"fringes"}, 1, sim::AckMode::ErrorFlag, 0, 1, 25, "refused 25 commands"},
        CliCase{"RangeBackwards", {"range", "20", "10"}, 1, Ok, 0, 2, 0, "(M) must not be greater than the last"},
        CliCase{"PictureZero", {"picture", "0"}, 1, Ok, 0, 2, 0, "picture P must be a whole number from 1 to 31, not '0'"},
        CliCase{"Picture32", {"picture", "32"}, 1, Ok, 0, 2, 0, "not '32'"},
        CliCase{"PictureHuge", {"picture", "99999999999"}, 1, Ok, 0, 2, 0, "not '99999999999'"},
        CliCase{"PictureSigned", {"picture", "+5"}, 1, Ok, 0, 2, 0, "not '+5'"},
        CliCase{"PictureMissing", {"picture"}, 1, Ok, 0, 2, 0, "'picture' needs [-f HZ] P"},
        CliCase{"RangeHalf", {"range", "1"}, 1, Ok, 0, 2, 0, "'range' needs"},
        CliCase{"FrequencyZero", {"fringes", "-f", "0"}, 1, Ok, 0, 2, 0, "frequency (Hz) must be a whole number from 1 to 120"},
        CliCase{"Frequency121", {"fringes", "-f", "121"}, 1, Ok, 0, 2, 0, "not '121'"},
        CliCase{"FrequencyLetters", {"fringes", "-f", "ten"}, 1, Ok, 0, 2, 0, "not 'ten'"},
        CliCase{"FrequencyEmpty", {"fringes", "-f", ""}, 1, Ok, 0, 2, 0, "not ''"},
        CliCase{"FrequencyTrailing", {"fringes", "-f", "10Hz"}, 1, Ok, 0, 2, 0, "not '10Hz'"},
        CliCase{"FrequencyMissing", {"fringes", "-f"}, 1, Ok, 0, 2, 0, "'-f' needs a frequency"},
        CliCase{"CrossHasNoFrequency", {"cross", "-f", "10"}, 1, Ok, 0, 2, 0, "'cross' has no option '-f'"},
        CliCase{"PictureExtra", {"picture", "1", "2"}, 1, Ok, 0, 2, 0, "takes no argument '2'"}),
    CaseName());

struct CheckCase {
    const char* name;
    std::vector<std::uint8_t> series;
    sim::StatusReply reply;
    int exitCode;
    const char* errorText;
};

class CliCheck : public CliTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(CliCheck, TheLookUpTableCheckIsReported)
{
    const CheckCase& c = GetParam();
    sim::SetStatusSeries(c.series);
    sim::SetStatusReply(c.reply);
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({"picture", "3"}, out, err), c.exitCode);
    if (*c.errorText == '\0') {
        EXPECT_EQ(err.str(), "");
    } else {
        EXPECT_THAT(err.str(), ::testing::HasSubstr(c.errorText));
    }
    EXPECT_EQ(sim::Packets().back().payload, std::vector<std::uint8_t>{2});  // the list still ran to its end
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliCheck,
    ::testing::Values(CheckCase{"Valid", {0x80, 0x00}, sim::StatusReply::Normal, 0, ""},
                      CheckCase{"Verdict", {0x05}, sim::StatusReply::Normal, 0, "reported status 0x05"},
                      CheckCase{"NoAnswer", {0x00}, sim::StatusReply::Silent, 1, "no valid answer"},
                      CheckCase{"BusyForever", {0x80}, sim::StatusReply::Normal, 1, "stayed busy"}),
    CaseName());

TEST_F(SimTest, CliVersionAndHelp)
{
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({"--version"}, out, err), 0);
    EXPECT_EQ(out.str(), "lumoractl 1.0.0.1\n");
    out.str("");
    EXPECT_EQ(cli::Run({"--help"}, out, err), 0);
    for (const char* command : {"connect", "start", "pause", "stop", "fringes", "range", "picture", "cross"}) {
        EXPECT_THAT(out.str(), ::testing::HasSubstr(command));
    }
}

// The unchanged binary, with the simulated controller preloaded in place of
// hidapi, as an operator without a module would run it.
struct Process {
    int status;
    std::string output;
};

Process RunPreloaded(const std::string& environment, const std::string& arguments)
{
    const std::string command = environment + " LD_PRELOAD=" SIM_PRELOAD_PATH " LUMORA_SIM_TRACE=1 " LUMORACTL_PATH
                                " " + arguments + " 2>&1";
    Process result{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::array<char, 256> chunk;
    while (std::fgets(chunk.data(), chunk.size(), pipe) != nullptr) {
        result.output += chunk.data();
    }
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

TEST(PreloadedSimulator, TracesWhatTheRealBinarySends)
{
    const Process stop = RunPreloaded("", "stop");
    EXPECT_EQ(stop.status, 0) << stop.output;
    EXPECT_THAT(stop.output, ::testing::HasSubstr("CmdPatternStartStop [00]"));

    const Process refused = RunPreloaded("LUMORA_SIM_ACK=error", "pause");
    EXPECT_EQ(refused.status, 1) << refused.output;
    EXPECT_THAT(refused.output, ::testing::HasSubstr("CmdPatternStartStop [01]"));

    const Process cross = RunPreloaded("LUMORA_SIM_STATUS=80,05", "cross");
    EXPECT_EQ(cross.status, 0) << cross.output;
    EXPECT_THAT(cross.output, ::testing::HasSubstr("read CmdValidate []"));
    EXPECT_THAT(cross.output, ::testing::HasSubstr("status 0x05"));

    const Process missing = RunPreloaded("LUMORA_SIM_MODULES=0", "connect");
    EXPECT_EQ(missing.status, 1) << missing.output;
}

}  // namespace
