// What the operator and a script are told after each kind of run, and the
// progress shown meanwhile.
#include "actions/outcome.h"
#include "link/printable.h"
#include "patterns/lut.h"
#include "patterns/presets.h"
#include "patterns/sequence_file.h"
#include "sim_fixture.h"

#include <memory>

using namespace lumora;

namespace {

struct OutcomeCase {
    const char* name;
    Action action;
    Audience audience = Audience::Script;
    bool connected = true;  // the module is open before the action runs
    std::function<void()> setUp = [] {};
    Severity severity = Severity::Ok;
    Problem problem = Problem::None;
    // The whole line; {path} stands for the first module's node, {pid} and
    // {self} for this process.
    std::string text;
};

std::string Expand(std::string text)
{
    const std::string self = OwnProgramName();
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"{path}", sim::DefaultModule(0).path},
                                     {"{pid}", std::to_string(OwnProcessId())},
                                     {"{self}", self}}) {
        for (std::size_t at; (at = text.find(key)) != std::string::npos;) {
            text.replace(at, key.size(), value);
        }
    }
    return text;
}

std::unique_ptr<OtherProgram> heldNode;  // another program's lock, taken by a case's set-up

class Outcomes : public FastPresetTest, public ::testing::WithParamInterface<OutcomeCase> {
protected:
    void TearDown() override
    {
        heldNode.reset();
        SelectModule(L"");
        ReleaseDevice();
        FastPresetTest::TearDown();
    }
};

TEST_P(Outcomes, TellWhatTheLinkSaw)
{
    const OutcomeCase& c = GetParam();
#ifdef _WIN32
    if (c.problem == Problem::NotAccessible) {
        GTEST_SKIP() << "Windows gives every user the HID devices: a refused open is a busy module there";
    }
#endif
    if (!kPortsKnown && c.text.find("ports 1-") != std::string::npos) {
        GTEST_SKIP() << "the system tells no ports";
    }
    if (c.connected) {
        Connect();
    }
    c.setUp();
    const Outcome outcome = ConcludeAction(c.action, RunAction(c.action), c.audience);
    EXPECT_EQ(outcome.text, Expand(c.text));
    EXPECT_EQ(outcome.severity, c.severity);
    EXPECT_EQ(outcome.problem, c.problem);
    EXPECT_EQ(outcome.text.find('\n'), std::string::npos) << "one line";
    EXPECT_EQ(outcome.advice.empty(), c.problem != Problem::NotAccessible || c.audience == Audience::Dialog);
}

const Action kFringes{ActionKind::FullFringes};
const Action kRange{ActionKind::Range, 10, 10, 20};
const Action kPicture{ActionKind::OnePicture, 10, 12};
const Action kCross{ActionKind::Cross};
const Action kConnect{ActionKind::Connect};
const Action kStart{ActionKind::StartVideoMode};
const Action kPause{ActionKind::Pause};
const Action kStop{ActionKind::Stop};
const Action kLeds{.kind = ActionKind::Leds, .leds = {1, 2, 3}};

Action SequenceAction(bool startAnyway)
{
    SequenceFile file = ReadSequenceFile(EXAMPLES_DIR "/fringes-8bit.toml");
    EXPECT_TRUE(file.errors.empty());
    return {.kind = ActionKind::Sequence,
            .sequence = std::make_shared<const Sequence>(*file.sequence),
            .sequenceName = "fringes-8bit.toml",
            .startAnyway = startAnyway};
}

const auto Script = Audience::Script;
const auto Dialog = Audience::Dialog;

INSTANTIATE_TEST_SUITE_P(
    Cases, Outcomes,
    ::testing::Values(
        OutcomeCase{"PresetAccepted", kFringes, Dialog, true, [] {}, Severity::Ok, Problem::None,
                    "Project Full Fringes at 10 Hz: sent; the controller accepted the tables; the sequence was started."},
        OutcomeCase{"RangeAccepted", kRange, Script, true, [] {}, Severity::Ok, Problem::None,
                    "Project pictures 10 to 20 at 10 Hz: sent; the controller accepted the tables; the sequence was started."},
        OutcomeCase{"PauseSent", kPause, Script, true, [] {}, Severity::Ok, Problem::None, "Pause: sent."},
        OutcomeCase{"StopUnacknowledged", kStop, Script, true, [] { sim::SetAckMode(sim::AckMode::Silent); },
                    Severity::Warning, Problem::None, "Stop: sent; 1 command was not acknowledged within 2000 ms."},
        OutcomeCase{"VideoModeUnacknowledged", kStart, Script, false, [] { sim::SetAckMode(sim::AckMode::Silent); },
                    Severity::Warning, Problem::None,
                    "Video mode: sent; 18 commands were not acknowledged within 2000 ms."},
        OutcomeCase{"Refused", kFringes, Dialog, true, [] { sim::SetAckMode(sim::AckMode::ErrorFlag); },
                    Severity::Failure, Problem::Refused, "Project Full Fringes at 10 Hz: the controller refused 25 of 29 commands, the first CmdDisplayMode; "
                    "the controller gave no valid answer to the table check; the sequence was not started."},
        OutcomeCase{"OneRefusalAmongMany", kFringes, Script, true, [] { sim::RefuseCommand(0x0B01); },
                    Severity::Failure, Problem::Refused,
                    "Project Full Fringes at 10 Hz: the controller refused 1 of 29 commands, the first CmdLedCurrent; "
                    "the controller accepted the tables; the sequence was started."},
        OutcomeCase{"RefusedAndRejected", kPicture, Script, true,
                    [] {
                        sim::RefuseCommand(0x1A22);
                        sim::SetStatusSeries({0x05});
                    },
                    Severity::Failure, Problem::Refused,
                    "Project picture 12 at 10 Hz: the controller refused 1 of 28 commands, the first CmdPatternSource; "
                    "the controller rejected the tables (status 0x05); the sequence was started anyway."},
        OutcomeCase{"SequenceWithARefusalStillStartsOnAcceptedTables", SequenceAction(false), Script, true,
                    [] { sim::RefuseCommand(0x1A22); }, Severity::Failure, Problem::Refused,
                    "Sequence fringes-8bit.toml: the controller refused 1 of 29 commands, the first CmdPatternSource; "
                    "the controller accepted the tables; the sequence was started."},
        OutcomeCase{"OneRefusal", kStop, Script, true, [] { sim::RefuseCommand(0x1A24); }, Severity::Failure,
                    Problem::Refused, "Stop: the controller refused CmdPatternStartStop."},
        OutcomeCase{"LinkFailsForTheOperator", kCross, Dialog, true, [] { sim::FailWriteAt(3); }, Severity::Failure,
                    Problem::LinkFailed, "Project Cross: the link failed at CmdExposurePeriod, command 3 of 16, and the module was closed; "
                    "the sequence was not started; press ConnectUSB."},
        OutcomeCase{"LinkFailsForAScript", kStart, Script, false, [] { sim::FailReadAt(5); }, Severity::Failure,
                    Problem::LinkFailed, "Video mode: the link to the module failed at CmdShortAxisFlip, command 2 of 18, and the module was closed."},
        OutcomeCase{"NotConnectedForTheOperator", kPicture, Dialog, false, [] {}, Severity::Failure,
                    Problem::NotConnected, "Not connected; press ConnectUSB first."},
        OutcomeCase{"NotConnectedForAScript", kPause, Script, false, [] {}, Severity::Failure,
                    Problem::NotConnected, "No module is open; connect first."},
        OutcomeCase{"Connected", kConnect, Dialog, false, [] {}, Severity::Ok, Problem::None,
                    "Connected to the module at {path} (serial SIM0001)."},
        OutcomeCase{"NoModule", kConnect, Dialog, false, [] { sim::SetModuleCount(0); }, Severity::Failure,
                    Problem::NoModule, "No module attached (USB 0451:6401)."},
        OutcomeCase{"VideoModeWithNoModule", kStart, Script, false, [] { sim::SetModuleCount(0); },
                    Severity::Failure, Problem::NoModule, "No module attached (USB 0451:6401)."},
        OutcomeCase{"NoSuchSerial", kConnect, Script, false, [] { SelectModule(L"SIM0009"); }, Severity::Failure,
                    Problem::NoModule,
                    "No module with serial number 'SIM0009' is attached; 'lumoractl list' shows the serial numbers."},
        OutcomeCase{"SharedSerialForAScript", kConnect, Script, false,
                    [] {
                        sim::SetModules(sim::LayoutModules(3, 1, "DUP", false));
                        SelectModule(L"DUP");
                    },
                    Severity::Failure, Problem::NoModule,
                    "3 modules carry the serial DUP (ports 1-1, 1-2 and 1-3); choose one with --port."},
        OutcomeCase{"SharedSerialForTheOperator", kStart, Dialog, false,
                    [] {
                        sim::SetModules(sim::LayoutModules(2, 1, "DUP", false));
                        SelectModule(L"DUP");
                    },
                    Severity::Failure, Problem::NoModule,
                    "2 modules carry the serial DUP (ports 1-1 and 1-2); choose one by its port."},
        OutcomeCase{"NoSuchPort", kConnect, Dialog, false,
                    [] { SelectModule(ModuleChoice{ModuleChoice::By::Port, "1-9"}); }, Severity::Failure,
                    Problem::NoModule, "No module is attached at port '1-9'; the Module menu shows the ports."},
        OutcomeCase{"NoSuchNode", kConnect, Script, false,
                    [] { SelectModule(ModuleChoice{ModuleChoice::By::Path, "/dev/\x1B[2J"}); }, Severity::Failure,
                    Problem::NoModule,
                    "No module has the device node '/dev/\\x1B[2J'; 'lumoractl list' shows the nodes."},
        OutcomeCase{"NotAccessibleForTheOperator", kConnect, Dialog, false,
                    [] {
                        sim::Module denied = sim::DefaultModule(0);
                        denied.access = sim::Access::Denied;
                        sim::SetModules({denied});
                    },
                    Severity::Failure, Problem::NotAccessible,
                    "A module is attached but this user may not open it; see Help."},
        OutcomeCase{"NotAccessibleForAScript", kStart, Script, false,
                    [] {
                        sim::Module denied = sim::DefaultModule(0);
                        denied.access = sim::Access::Denied;
                        sim::SetModules({denied});
                    },
                    Severity::Failure, Problem::NotAccessible,
                    "A module is attached at {path} but this user may not open it."},
        OutcomeCase{"HeldByAnotherProgram", kConnect, Dialog, false,
                    [] {
                        heldNode = std::make_unique<OtherProgram>(sim::DefaultModule(0).path);
                    },
                    Severity::Failure, Problem::ModuleBusy,
                    "The module at {path} is held by another program ({self}, process {pid})."},
        OutcomeCase{"OpenedExclusivelyElsewhere", kConnect, Script, false,
                    [] {
                        sim::Module busy = sim::DefaultModule(0);
                        busy.access = sim::Access::Busy;
                        sim::SetModules({busy});
                    },
                    Severity::Failure, Problem::ModuleBusy, "The module at {path} is held by another program."},
        OutcomeCase{"TablesRejected", kPicture, Dialog, true, [] { sim::SetStatusSeries({0x80, 0x05}); },
                    Severity::Failure, Problem::TableCheckFailed,
                    "Project picture 12 at 10 Hz: the controller rejected the tables (status 0x05); "
                    "the sequence was started anyway."},
        OutcomeCase{"NoAnswerToTheCheck", kRange, Script, true,
                    [] { sim::SetStatusReply(sim::StatusReply::Empty); }, Severity::Failure,
                    Problem::TableCheckFailed,
                    "Project pictures 10 to 20 at 10 Hz: the controller gave no valid answer to the table check; "
                    "the sequence was started anyway."},
        OutcomeCase{"CheckStaysBusy", kCross, Dialog, true, [] { sim::SetStatusSeries({0x80}); }, Severity::Failure,
                    Problem::TableCheckFailed,
                    "Project Cross: the controller stayed busy checking the tables for 20 ms; "
                    "the sequence was started anyway."},
        OutcomeCase{"SilentModuleDuringAPreset", kCross, Dialog, true,
                    [] {
                        sim::SetAckMode(sim::AckMode::Silent);
                        sim::SetStatusReply(sim::StatusReply::Silent);
                    },
                    Severity::Failure, Problem::TableCheckFailed,
                    "Project Cross: the controller gave no valid answer to the table check; the sequence was started "
                    "anyway; 15 commands were not acknowledged within 2000 ms."},
        OutcomeCase{"LedsSent", kLeds, Script, true, [] {}, Severity::Ok, Problem::None, "LED currents 1, 2, 3: sent."},
        OutcomeCase{"SequenceAccepted", SequenceAction(false), Dialog, true, [] {}, Severity::Ok, Problem::None,
                    "Sequence fringes-8bit.toml: sent; the controller accepted the tables; the sequence was started."},
        OutcomeCase{"SequenceRejectedIsNotStarted", SequenceAction(false), Script, true,
                    [] { sim::SetStatusSeries({0x05}); }, Severity::Failure, Problem::TableCheckFailed,
                    "Sequence fringes-8bit.toml: the controller rejected the tables (status 0x05); "
                    "the sequence was not started."},
        OutcomeCase{"SequenceStartedAnyway", SequenceAction(true), Script, true,
                    [] { sim::SetStatusReply(sim::StatusReply::Silent); }, Severity::Failure,
                    Problem::TableCheckFailed,
                    "Sequence fringes-8bit.toml: the controller gave no valid answer to the table check; "
                    "the sequence was started anyway."}),
    CaseName());

TEST_F(SimTest, DeviceStringsCannotReachTheTextRaw)
{
    sim::Module module = sim::DefaultModule(0);
    module.serial = L"\x1B]0;owned\x07\nlumoractl: all good";
    sim::SetModules({module});
    const Action connect{.kind = ActionKind::Connect};
    const Outcome outcome = ConcludeAction(connect, RunAction(connect), Audience::Script);
    EXPECT_EQ(outcome.text.find_first_of("\x1B\x07\n"), std::string::npos) << outcome.text;
    EXPECT_THAT(outcome.text, ::testing::HasSubstr("\\x1B]0;owned\\x07\\nlumoractl: all"));
    ReleaseDevice();
}

using Progress = SimTest;

TEST_F(Progress, ShowsTheStepTheCommandsAndTheWait)
{
    using namespace std::chrono_literals;
    linkActivity.commandWord = 0;
    linkActivity.readsStarted = 4;
    linkActivity.readsFinished = 4;
    ProgressMonitor progress({.kind = ActionKind::StartVideoMode});
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(progress.Text(t0), "Video mode: opening the module; 0 commands sent");

    linkActivity.commandWord = 0x1A33;  // CmdLutAccess
    linkCounters.commandsSent = 1;
    ProgressMonitor fringes({.kind = ActionKind::FullFringes, .frequency = 30});
    EXPECT_EQ(fringes.Text(t0), "Project Full Fringes at 30 Hz: uploading the look-up tables; 1 command sent");
    linkActivity.readsStarted = 5;  // waiting for an acknowledgement
    EXPECT_EQ(fringes.Text(t0 + 100ms), "Project Full Fringes at 30 Hz: uploading the look-up tables; 1 command sent");
    EXPECT_EQ(fringes.Text(t0 + 1500ms),
              "Project Full Fringes at 30 Hz: uploading the look-up tables; 1 command sent; "
              "waiting for the controller, 1.4 s");
    linkActivity.readsFinished = 5;
    linkActivity.commandWord = 0x1A1A;  // CmdValidate
    linkCounters.commandsFailed = 1;
    EXPECT_EQ(fringes.Text(t0 + 1600ms), "Project Full Fringes at 30 Hz: waiting for the table check; 2 commands sent");
}

struct PrintableCase {
    const char* name;
    std::string text;
    std::size_t limit;
    std::string shown;
};

class Printables : public ::testing::TestWithParam<PrintableCase> {};

TEST_P(Printables, EscapeWhatCouldSteerATerminal)
{
    EXPECT_EQ(Printable(GetParam().text, GetParam().limit), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Printables,
    ::testing::Values(PrintableCase{"Plain", "SIM0001", 0, "SIM0001"},
                      PrintableCase{"Unicode", "Caf\xC3\xA9 \xE6\x97\xA5", 0, "Caf\xC3\xA9 \xE6\x97\xA5"},
                      PrintableCase{"Escape", "\x1B[2J\x1B]0;title\x07", 0, "\\x1B[2J\\x1B]0;title\\x07"},
                      PrintableCase{"NewlinesAndTabs", "a\nb\tc\rd", 0, "a\\nb\\tc\\rd"},
                      PrintableCase{"Delete", std::string("x\x7F", 2), 0, "x\\x7F"},
                      PrintableCase{"Nul", std::string("a\0b", 3), 0, "a\\x00b"},
                      PrintableCase{"C1Control", "\xC2\x9B" "31m", 0, "\\u009B31m"},
                      PrintableCase{"BidiOverride", "abc\xE2\x80\xAE" "fed", 0, "abc\\u202Efed"},
                      PrintableCase{"Backslash", "a\\x1B", 0, "a\\\\x1B"},
                      PrintableCase{"NotUtf8", "\xFF\xC3", 0, "\\xFF\\xC3"},
                      PrintableCase{"Overlong", "\xC0\xAF", 0, "\\xC0\\xAF"},
                      PrintableCase{"Surrogate", "\xED\xA0\x80", 0, "\\xED\\xA0\\x80"},
                      PrintableCase{"WithinTheLimit", "0123456789", 10, "0123456789"},
                      PrintableCase{"CutAtTheLimit", "0123456789A", 10, "0123456..."},
                      PrintableCase{"CutCountsCharacters", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 4,
                                    "\xC3\xA9..."}),
    CaseName());

}  // namespace
