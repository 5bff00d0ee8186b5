// lumoractl's commands and exit codes against the simulated controller.
#include "cli/cli.h"
#include "patterns/lut.h"
#include "patterns/presets.h"
#include "sim_fixture.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <algorithm>
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

using CliTest = FastPresetTest;

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
        EXPECT_EQ(sim::CallCount("hid_open") + sim::CallCount("hid_open_path") + sim::CallCount("hid_write"), 0);
    }
}

const auto Ok = sim::AckMode::Ok;
INSTANTIATE_TEST_SUITE_P(
    Commands, Cli,
    ::testing::Values(
        CliCase{"ConnectFound", {"connect"}, 1, Ok, 0, 0, 0, ""},
        CliCase{"ConnectMissing", {"connect"}, 0, Ok, 0, 1, 0, "No module attached (USB 0451:6401)."},
        CliCase{"Pause", {"pause"}, 1, Ok, 0, 0, 1, ""},
        CliCase{"Stop", {"stop"}, 1, Ok, 0, 0, 1, ""},
        CliCase{"StopMissing", {"stop"}, 0, Ok, 0, 1, 0, "No module attached"},
        CliCase{"StopRefused", {"stop"}, 1, sim::AckMode::ErrorFlag, 0, 1, 1, "Stop: the controller refused CmdPatternStartStop."},
        CliCase{"StopUnacknowledged", {"stop"}, 1, sim::AckMode::Silent, 0, 0, 1, "warning: Stop: sent; 1 command was not acknowledged"},
        CliCase{"Start", {"start"}, 1, Ok, 0, 0, 18, ""},
        CliCase{"StartMissing", {"start"}, 0, Ok, 0, 1, 0, "No module attached"},
        CliCase{"StartLinkFails", {"start"}, 1, Ok, 3, 1, 2, "Video mode: the link to the module failed at CmdDisplayMode, command 3 of 18, and the module was closed."},
        CliCase{"StartRefused", {"start"}, 1, sim::AckMode::ErrorFlag, 0, 1, 18, "Video mode: the controller refused 18 of 18 commands, the first CmdLongAxisFlip."},
        CliCase{"UnknownCommand", {"project"}, 1, Ok, 0, 2, 0, "unknown command 'project'"},
        CliCase{"StrayArgument", {"pause", "now"}, 1, Ok, 0, 2, 0, "takes no argument 'now'"},
        CliCase{"UnknownOption", {"--fast", "stop"}, 1, Ok, 0, 2, 0, "unknown option '--fast'"},
        CliCase{"FrequencyBeforeTheCommand", {"-f", "20", "fringes"}, 1, Ok, 0, 2, 0,
                "'-f' goes after the command, as in 'lumoractl fringes -f 20'"},
        CliCase{"CheckBeforeTheCommand", {"--check", "sequence", "x.toml"}, 1, Ok, 0, 2, 0,
                "'--check' goes after the command, as in 'lumoractl sequence --check FILE'"},
        CliCase{"NoCommand", {}, 1, Ok, 0, 2, 0, "no command given"},
        CliCase{"Version", {"--version"}, 1, Ok, 0, 0, 0, ""},
        CliCase{"FringesAtTheDefault", {"fringes"}, 1, Ok, 0, 0, 29, ""},
        CliCase{"FringesAt120", {"fringes", "-f", "120"}, 1, Ok, 0, 0, 29, ""},
        CliCase{"Range", {"range", "--frequency", "7", "10", "20"}, 1, Ok, 0, 0, 29, ""},
        CliCase{"RangeOfOne", {"range", "31", "31"}, 1, Ok, 0, 0, 29, ""},
        CliCase{"Picture", {"picture", "12", "-f", "1"}, 1, Ok, 0, 0, 28, ""},
        CliCase{"Cross", {"cross"}, 1, Ok, 0, 0, 16, ""},
        CliCase{"CrossMissing", {"cross"}, 0, Ok, 0, 1, 0, "No module attached"},
        CliCase{"FringesRefused", {"fringes"}, 1, sim::AckMode::ErrorFlag, 0, 1, 25, "the controller refused 25 of 29 commands, the first CmdDisplayMode; the controller gave no valid answer to the table check; the sequence was not started."},
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
        CliCase{"PictureExtra", {"picture", "1", "2"}, 1, Ok, 0, 2, 0, "takes no argument '2'"},
        CliCase{"OptionsEndBeforeTheCommand", {"--trace", "--", "stop"}, 1, Ok, 0, 0, 1, "trace: write"},
        CliCase{"OptionsEndBeforeANumber", {"picture", "-f", "30", "--", "7"}, 1, Ok, 0, 0, 28, ""},
        CliCase{"OptionAfterOptionsEndIsANumber", {"picture", "--", "-f"}, 1, Ok, 0, 2, 0, "not '-f'"},
        CliCase{"UnknownOptionOfACommand", {"picture", "--fast", "3"}, 1, Ok, 0, 2, 0, "'picture' has no option '--fast'"},
        CliCase{"NegativeNumber", {"picture", "-5"}, 1, Ok, 0, 2, 0, "the picture P must be a whole number from 1 to 31, not '-5'"},
        CliCase{"FrequencyWithEquals", {"fringes", "--frequency=120"}, 1, Ok, 0, 0, 29, ""},
        CliCase{"FrequencyTwice", {"fringes", "-f", "10", "-f", "20"}, 1, Ok, 0, 2, 0, "the frequency is given more than once"},
        CliCase{"TraceTwice", {"--trace", "--trace", "stop"}, 1, Ok, 0, 2, 0, "'--trace' is given more than once"},
        CliCase{"SerialTwice", {"--serial", "A", "--serial=B", "stop"}, 1, Ok, 0, 2, 0, "'--serial' is given more than once"},
        CliCase{"HelpWithMore", {"--help", "extra"}, 1, Ok, 0, 2, 0, "'--help' takes nothing else"},
        CliCase{"HelpAfterAnOption", {"--trace", "-h"}, 1, Ok, 0, 2, 0, "'-h' takes nothing else"},
        CliCase{"VersionWithACommand", {"--version", "stop"}, 1, Ok, 0, 2, 0, "'--version' takes nothing else"},
        CliCase{"EscapedCommand", {"\x1B[2Jstop"}, 1, Ok, 0, 2, 0, "unknown command '\\x1B[2Jstop'"},
        CliCase{"LongArgumentCut", {"picture", std::string(300, '9')}, 1, Ok, 0, 2, 0, "not '9999999999999999999999999999999999999...'\n"},
        CliCase{"Leds", {"leds", "0", "128", "255"}, 1, Ok, 0, 0, 1, ""},
        CliCase{"LedsOutOfRange", {"leds", "1", "2", "256"}, 1, Ok, 0, 2, 0, "the blue LED current must be a whole number from 0 to 255, not '256'"},
        CliCase{"LedsTooFew", {"leds", "1", "2"}, 1, Ok, 0, 2, 0, "'leds' needs R G B"},
        CliCase{"Sequence", {"sequence", EXAMPLES_DIR "/fringes-8bit.toml"}, 1, Ok, 0, 0, 29, ""},
        CliCase{"SequenceRefused", {"sequence", EXAMPLES_DIR "/fringes-8bit.toml"}, 1, sim::AckMode::ErrorFlag, 0, 1, 13,
                "the controller refused 13 of 17 commands, the first CmdDisplayMode; the controller gave no valid "
                "answer to the table check; the sequence was not started."},
        CliCase{"SequenceMissing", {"sequence", EXAMPLES_DIR "/fringes-8bit.toml"}, 0, Ok, 0, 1, 0, "No module attached"},
        CliCase{"RangeCheckSendsNothing", {"range", "1", "12", "-f", "30", "--check"}, 0, Ok, 0, 0, 0, ""},
        CliCase{"VideoModeCheckSendsNothing", {"start", "--check"}, 0, Ok, 0, 0, 0, ""},
        CliCase{"LedsCheckSendsNothing", {"leds", "--check", "1", "2", "3"}, 0, Ok, 0, 0, 0, ""},
        CliCase{"CheckKeepsTheRules", {"range", "--check", "12", "1"}, 0, Ok, 0, 2, 0, "must not be greater"},
        CliCase{"SequenceCheckSendsNothing", {"sequence", "--check", EXAMPLES_DIR "/fringes-8bit.toml"}, 0, Ok, 0, 0, 0, ""},
        CliCase{"SequenceNeedsAFile", {"sequence", "--check"}, 1, Ok, 0, 2, 0, "'sequence' needs [--check] [--start-anyway] FILE"},
        CliCase{"SequenceFileNotThere", {"sequence", "/nonexistent/scan.toml"}, 1, Ok, 0, 2, 0, "lumoractl: /nonexistent/scan.toml: cannot open the file: No such file or directory\n"},
        CliCase{"SequenceCheckTwice", {"sequence", "--check", "--check", "x.toml"}, 1, Ok, 0, 2, 0, "'--check' is given more than once"},
        CliCase{"SequenceCheckAndStart", {"sequence", "--check", "--start-anyway", "x.toml"}, 1, Ok, 0, 2, 0, "'--start-anyway' does not go with '--check'"},
        CliCase{"SequenceTwoFiles", {"sequence", "a.toml", "b.toml"}, 1, Ok, 0, 2, 0, "'sequence' takes no argument 'b.toml'"}),
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
                      CheckCase{"Verdict", {0x05}, sim::StatusReply::Normal, 1, "rejected the tables (status 0x05); the sequence was started anyway"},
                      CheckCase{"NoAnswer", {0x00}, sim::StatusReply::Silent, 1, "no valid answer"},
                      CheckCase{"BusyForever", {0x80}, sim::StatusReply::Normal, 1, "stayed busy"}),
    CaseName());

struct DiagnosisCase {
    const char* name;
    std::vector<std::string> args;
    int modules;
    sim::Access access;
    const char* errorText;
};

class CliDiagnosis : public CliTest, public ::testing::WithParamInterface<DiagnosisCase> {};

TEST_P(CliDiagnosis, SaysWhyTheControllerCouldNotBeOpened)
{
    const DiagnosisCase& c = GetParam();
#ifdef _WIN32
    if (c.access == sim::Access::Denied) {
        GTEST_SKIP() << "Windows gives every user the HID devices: a refused open is a busy module there";
    }
#endif
    std::vector<sim::Module> modules;
    for (int i = 0; i < c.modules; ++i) {
        modules.push_back(sim::DefaultModule(i));
        modules.back().access = c.access;
    }
    sim::SetModules(modules);
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run(c.args, out, err), cli::kExitFailed);
    const std::string said = err.str();
    EXPECT_THAT(said, ::testing::HasSubstr(c.errorText));
    // One line, and for a module this user may not open, what to do: the
    // rule for the seat's user, the group for SSH and cron.
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), c.access == sim::Access::Denied ? 5 : 1) << said;
    if (c.access == sim::Access::Denied) {
        EXPECT_THAT(said, ::testing::HasSubstr("plugdev"));
    }
    EXPECT_EQ(sim::CallCount("hid_write"), 0);
}

const auto Denied = sim::Access::Denied;
const auto Busy = sim::Access::Busy;
INSTANTIATE_TEST_SUITE_P(
    Cases, CliDiagnosis,
    ::testing::Values(
        DiagnosisCase{"NothingAttached", {"connect"}, 0, sim::Access::Ok, "No module attached"},
        DiagnosisCase{"NotAccessible", {"stop"}, 1, Denied, "hidraw0 but this user may not open it"},
        DiagnosisCase{"NotAccessibleGivesTheCommand", {"connect"}, 1, Denied, "lumoractl udev-rule | sudo tee"},
        DiagnosisCase{"HeldByAnother", {"pause"}, 1, Busy, "held by another program"},
        DiagnosisCase{"StartNotAccessible", {"start"}, 1, Denied, "may not open it"},
        DiagnosisCase{"StartHeld", {"start"}, 2, Busy, "hidraw0 is held by another program"},
        DiagnosisCase{"UnknownSerial", {"--serial", "SIM0009", "stop"}, 2, sim::Access::Ok,
                      "No module with serial number 'SIM0009'"},
        DiagnosisCase{"SerialWithNothingAttached", {"--serial", "SIM0001", "fringes"}, 0, sim::Access::Ok,
                      "No module attached"}),
    CaseName());

TEST_F(CliTest, ListPrintsEveryAttachedModule)
{
    for (int count : {0, 1, 2}) {
        sim::SetModuleCount(count);
        std::ostringstream out, err;
        EXPECT_EQ(cli::Run({"list"}, out, err), count == 0 ? cli::kExitFailed : cli::kExitOk);
        const std::string listing = out.str();
        if (count == 0) {
            EXPECT_EQ(listing, "");
            EXPECT_EQ(err.str(), "lumoractl: No module attached (USB 0451:6401).\n");
        } else {
            EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), count + 1);
            EXPECT_THAT(listing, ::testing::StartsWith("PORT\tSERIAL\tPRODUCT\tMANUFACTURER\tSTATE\tNODES\n" + ListedPort(1) +
                                                       "\tSIM0001\tProjection Controller\tSimulated\tfree\t" +
                                                       sim::DefaultModule(0).path + "\n"));
            EXPECT_EQ(err.str(), "");
        }
        EXPECT_EQ(sim::CallCount("hid_open") + sim::CallCount("hid_open_path"), 0);
    }
}

TEST_F(CliTest, ListLeavesMissingStringsEmptyAndEscapesControlCharacters)
{
    sim::Module quiet = sim::DefaultModule(0);
    quiet.serial = L"";
    quiet.manufacturer = L"";
    sim::Module loud = sim::DefaultModule(1);
    loud.serial = L"-";
    loud.manufacturer = L"\x1B]0;owned\x07\x1B[2J";
    loud.product = L"Projector\nlumoractl: all good";
    sim::SetModules({quiet, loud});
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({"list"}, out, err), cli::kExitOk);
    EXPECT_EQ(out.str(), "PORT\tSERIAL\tPRODUCT\tMANUFACTURER\tSTATE\tNODES\n"
                         + ListedPort(1) + "\t\tProjection Controller\t\tfree\t" + quiet.path + "\n" +
                         ListedPort(2) + "\t-\tProjector\\nlumoractl: all good\t\\x1B]0;owned\\x07\\x1B[2J\tfree\t" + loud.path + "\n");
}

TEST_F(CliTest, SerialPicksTheSecondOfTwoModules)
{
    sim::SetModuleCount(2);
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({"--serial", "SIM0002", "cross"}, out, err), cli::kExitOk) << err.str();
    ASSERT_EQ(sim::Packets().size(), 16U);
    for (const sim::Packet& packet : sim::Packets()) {
        EXPECT_EQ(packet.serial, L"SIM0002");
    }
    // The next invocation without --serial takes the first match again.
    sim::ClearRecords();
    EXPECT_EQ(cli::Run({"stop"}, out, err), cli::kExitOk);
    EXPECT_EQ(sim::Packets().at(0).serial, L"SIM0001");
}

TEST_F(CliTest, SerialNeedsAValue)
{
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({"--serial"}, out, err), cli::kExitUsage);
    EXPECT_EQ(cli::Run({"--serial", "", "stop"}, out, err), cli::kExitUsage);
    EXPECT_TRUE(sim::Calls().empty());
}

struct BadSerialCase {
    const char* name;
    std::vector<std::string> args;
    const char* errorText;
};

// A serial number that is not UTF-8 is refused before anything is opened:
// cut short at its bad bytes, each of these would name the module "A".
class CliBadSerial : public CliTest, public ::testing::WithParamInterface<BadSerialCase> {};

TEST_P(CliBadSerial, OpensNothing)
{
    std::vector<sim::Module> modules = {sim::DefaultModule(0), sim::DefaultModule(1)};
    modules[0].serial = L"A";
    modules[1].serial = L"AB";
    sim::SetModules(modules);
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({"--serial", "A", "stop"}, out, err), cli::kExitOk) << err.str();
    ASSERT_EQ(sim::Packets().size(), 1U);
    EXPECT_EQ(sim::Packets()[0].serial, L"A");
    sim::ClearRecords();

    std::ostringstream badOut, badErr;
    EXPECT_EQ(cli::Run(GetParam().args, badOut, badErr), cli::kExitUsage);
    EXPECT_THAT(CallNames(), ::testing::IsEmpty());
    EXPECT_EQ(badOut.str(), "");
    EXPECT_EQ(badErr.str(), "lumoractl: " + std::string(GetParam().errorText) + "\nTry 'lumoractl --help'.\n");
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CliBadSerial,
    ::testing::Values(
        BadSerialCase{"Overlong", {"--serial", "A\xC0\x80" "B", "stop"}, "the serial number 'A\\xC0\\x80B' is not UTF-8"},
        BadSerialCase{"OverlongAfterEquals", {"--serial=A\xE0\x80\x80", "cross"},
                      "the serial number 'A\\xE0\\x80\\x80' is not UTF-8"},
        BadSerialCase{"Surrogate", {"--serial", "A\xED\xA0\x80", "stop"}, "the serial number 'A\\xED\\xA0\\x80' is not UTF-8"},
        BadSerialCase{"Truncated", {"--serial", "A\xC3", "connect"}, "the serial number 'A\\xC3' is not UTF-8"},
        BadSerialCase{"StrayContinuation", {"--serial", "A\x80", "fringes"}, "the serial number 'A\\x80' is not UTF-8"},
        BadSerialCase{"Nul", {"--serial", std::string("A\0B", 3), "stop"},
                      "the serial number 'A\\x00B' holds a NUL character"}),
    CaseName());

// Each trace line of a written report shows that report's bytes as sent.
TEST_F(CliTest, TraceShowsExactlyTheReportsSentAndRead)
{
    sim::SetStatusSeries({0x80, 0x00});
    std::ostringstream out, err, plainErr;
    EXPECT_EQ(cli::Run({"--trace", "range", "1", "31"}, out, err), cli::kExitOk);
    const std::vector<sim::Report> traced = sim::WrittenReports();
    const std::vector<std::string> tracedPackets = Sent();

    std::vector<std::string> writes, reads;
    std::istringstream lines(err.str());
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("lumoractl: trace: write ")) {
            writes.push_back(line.substr(24));
        } else if (line.starts_with("lumoractl: trace: read")) {
            reads.push_back(line);
        } else {
            ADD_FAILURE() << "unexpected line: " << line;
        }
    }
    ASSERT_EQ(writes.size(), traced.size());
    // Every read shows but the one that ends each read-away finding nothing:
    // one at the open, one before each packet (a status poll is a packet).
    EXPECT_EQ(static_cast<int>(reads.size()), sim::CallCount("hid_read_timeout") - 1 - static_cast<int>(sim::Packets().size()));
    for (std::size_t i = 0; i < traced.size(); ++i) {
        const std::string hex = writes[i].substr(0, writes[i].find("  "));
        const std::string shown = hex.substr(0, hex.find(" +"));
        EXPECT_EQ(shown, sim::Hex(traced[i].data(), (shown.size() + 1) / 3)) << i;
    }
    EXPECT_THAT(err.str(), ::testing::HasSubstr("CmdLutData seq"));
    EXPECT_THAT(err.str(), ::testing::HasSubstr("continued in 1 more report"));
    EXPECT_THAT(err.str(), ::testing::HasSubstr("read request CmdValidate seq 0 []"));

    // Tracing changes nothing on the wire.
    sim::ClearRecords();
    sim::SetStatusSeries({0x80, 0x00});
    EXPECT_EQ(cli::Run({"range", "1", "31"}, out, plainErr), cli::kExitOk);
    EXPECT_EQ(plainErr.str(), "");
    EXPECT_EQ(Sent().size(), tracedPackets.size());
    for (std::size_t i = 0; i < traced.size(); ++i) {
        // Same bytes but for the sequence numbers, which keep counting.
        sim::Report a = traced[i], b = sim::WrittenReports()[i];
        if (a[1] == 0x40) {
            a[2] = b[2] = 0;
        }
        EXPECT_EQ(a, b) << i;
    }
}

TEST_F(SimTest, CliVersionAndHelp)
{
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({"--version"}, out, err), 0);
    EXPECT_EQ(out.str(), "lumoractl 1.0.0.1\n");
    out.str("");
    EXPECT_EQ(cli::Run({"--help"}, out, err), 0);
    for (const char* command :
         {"connect", "start", "pause", "stop", "fringes", "range", "picture", "cross", "list", "--serial", "--trace"}) {
        EXPECT_THAT(out.str(), ::testing::HasSubstr(command));
    }
}

// The unchanged binary, with the simulated controller preloaded in place of
// hidapi, as an operator without a module would run it. (On Windows,
// tests/windows/run puts the simulator beside lumoractl.exe.)
#ifndef _WIN32
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
    EXPECT_EQ(cross.status, 1) << cross.output;
    EXPECT_THAT(cross.output, ::testing::HasSubstr("read CmdValidate []"));
    EXPECT_THAT(cross.output, ::testing::HasSubstr("status 0x05"));

    const Process missing = RunPreloaded("LUMORA_SIM_MODULES=0", "connect");
    EXPECT_EQ(missing.status, 1) << missing.output;
}

#endif

}  // namespace
