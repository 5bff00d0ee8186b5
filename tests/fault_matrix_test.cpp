// The fault matrix: every operator action against every single failure of the
// link, and against a controller that refuses, stays silent or stays busy.
//
// For each action a clean run first counts its hid_write and hid_read_timeout
// calls (the reads that take away what waits at an open and before each
// packet among them); then the action is run once for every k, with the k-th
// write (or read) failing. Each run must show that the action returns, the device is
// closed exactly once, nothing touches the closed handle, nothing is written
// after the failure, later actions fail at once without traffic, and a
// reconnect brings back the clean run. Each run's record must tell the same
// story as the wire.
#include "actions/action.h"
#include "patterns/lut.h"
#include "patterns/presets.h"
#include "patterns/sequence.h"
#include "sim_fixture.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

using namespace lumora;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

struct MatrixAction {
    const char* name;
    std::function<RunRecord()> run;
    bool opensDevice;   // the action opens the controller itself
    bool validates;     // the action uploads look-up tables and polls their check
    bool gated = false; // the action starts the sequence only when the check accepted the tables
};

void PrintTo(const MatrixAction& action, std::ostream* out) { *out << action.name; }

// An operator's own sequence: two images, both trigger outputs.
Sequence OwnSequence()
{
    Sequence sequence;
    sequence.exposureUs = 9000;
    sequence.periodUs = 10000;
    sequence.triggerOut1.given = sequence.triggerOut2.given = true;
    sequence.entries = {{.image = 2, .pattern = 0}, {.image = 2, .pattern = 1}, {.image = 6, .pattern = 5, .bits = 1}};
    return sequence;
}

// Presets at a fixed frequency, with the dialog's default pictures, and a
// sequence of the operator's own.
// Each goes through RunAction, as the front ends run it.
RunRecord Run(const lumora::Action& action) { return RunAction(action).run; }

const std::vector<MatrixAction>& Actions()
{
    static const std::vector<MatrixAction> actions = {
        {"VideoMode", [] { return Run({.kind = ActionKind::StartVideoMode}); }, true, false},
        {"Pause", [] { return Run({.kind = ActionKind::Pause}); }, false, false},
        {"Stop", [] { return Run({.kind = ActionKind::Stop}); }, false, false},
        {"Leds", [] { return Run({.kind = ActionKind::Leds, .leds = {1, 2, 3}}); }, false, false},
        {"FullFringes", [] { return Run({.kind = ActionKind::FullFringes, .frequency = 10}); }, false, true},
        {"Range", [] { return Run({.kind = ActionKind::Range, .frequency = 10, .first = 10, .last = 20}); }, false,
         true},
        {"OnePicture", [] { return Run({.kind = ActionKind::OnePicture, .frequency = 10, .first = 12}); }, false,
         true},
        {"Cross", [] { return Run({.kind = ActionKind::Cross}); }, false, true},
        {"OwnSequence",
         [] {
             return Run({.kind = ActionKind::Sequence, .sequence = std::make_shared<const Sequence>(OwnSequence())});
         },
         false, true, true},
    };
    return actions;
}

// The commands of the record's packets that reached the wire, a status
// request polled several times once: "CmdLedEnable", "read CmdValidate".
std::vector<std::string> RecordedOnTheWire(const RunRecord& record)
{
    std::vector<std::string> names;
    for (int i = 0; i < record.count; ++i) {
        const PacketRecord& packet = record.packets[i];
        if (WentOut(packet.result) || packet.result == PacketResult::Refused) {
            names.push_back(std::string(packet.readRequest ? "read " : "") + CommandNames[packet.command]);
        }
    }
    return names;
}

// The commands of the packets the controller saw, polls taken as one.
std::vector<std::string> CommandsOf(const std::vector<std::string>& packets)
{
    std::vector<std::string> names;
    for (const std::string& packet : packets) {
        std::string name = packet.substr(0, packet.find(" ["));
        if (names.empty() || name != names.back() || !name.starts_with("read ")) {
            names.push_back(std::move(name));
        }
    }
    return names;
}

// What one clean run of an action does on the wire.
struct CleanRun {
    int writes = 0;
    int reads = 0;
    std::vector<std::string> packets;
};

// The matrix's own tally, printed when the test program ends.
struct Tally {
    int runs = 0;
    int failedRuns = 0;
};
Tally tally;

int FailedParts()
{
    const ::testing::TestResult* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
    int failed = 0;
    for (int i = 0; i < result->total_part_count(); ++i) {
        failed += result->GetTestPartResult(i).failed() ? 1 : 0;
    }
    return failed;
}

class MatrixReport : public ::testing::Environment {
public:
    void TearDown() override
    {
        if (tally.failedRuns == 0) {
            std::printf("fault matrix: %d runs, all passed\n", tally.runs);
        } else {
            std::printf("fault matrix: %d runs, %d failed\n", tally.runs, tally.failedRuns);
        }
    }
};
[[maybe_unused]] ::testing::Environment* const kMatrixReport = ::testing::AddGlobalTestEnvironment(new MatrixReport);

class FaultMatrix : public SimTest, public ::testing::WithParamInterface<MatrixAction> {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        clean_ = Dry();
    }

    // A fresh link and controller, connected as the operator would be; no
    // pause in the start tail and a short wait for a busy table check.
    static void Fresh()
    {
        ResetLinkState();
        SetPauseFunction([](int) {});
        SetStatusPollBound(std::chrono::milliseconds(2));
        Connect();
    }

    CleanRun Dry()
    {
        Fresh();
        const RunRecord record = GetParam().run();
        CleanRun clean{sim::CallCount("hid_write"), sim::CallCount("hid_read_timeout"), Sent()};
        EXPECT_THAT(sim::Violations(), IsEmpty());
        EXPECT_GT(clean.writes, 0);
        EXPECT_EQ(record.CountOf(PacketResult::Acknowledged), record.count) << "a clean run is acknowledged whole";
        EXPECT_EQ(record.verdict, GetParam().validates ? TableVerdict::Accepted : TableVerdict::None);
        EXPECT_EQ(record.started, record.startsSequence);
        EXPECT_EQ(record.startsSequence, GetParam().validates);
        return clean;
    }

    // Runs one case of the matrix: sets the fault up on a fresh connection,
    // runs the action, checks. Counts the run and whether it failed.
    void Case(const std::string& label, const std::function<void()>& arrange,
              const std::function<void(const RunRecord&)>& check)
    {
        SCOPED_TRACE(std::string(GetParam().name) + ", " + label);
        const int failedBefore = FailedParts();
        Fresh();
        arrange();
        const RunRecord record = GetParam().run();
        check(record);
        EXPECT_THAT(sim::Violations(), IsEmpty());
        ++tally.runs;
        tally.failedRuns += FailedParts() > failedBefore ? 1 : 0;
    }

    // The k-th call of `function` failed: the device was closed once, right
    // after it, and nothing followed.
    void ExpectLinkClosedAfterFailure(const char* function, int k)
    {
        const std::vector<sim::Call>& calls = sim::Calls();
        int seen = 0;
        std::size_t at = calls.size();
        for (std::size_t i = 0; i < calls.size(); ++i) {
            if (calls[i].function == function && ++seen == k) {
                at = i;
                break;
            }
        }
        ASSERT_LT(at, calls.size()) << "the " << k << "th " << function << " never came";
        const sim::Call& failed = calls[at];
        EXPECT_EQ(failed.result, -1);
        ASSERT_EQ(calls.size(), at + 2) << "exactly one call follows the failure: the close";
        EXPECT_EQ(calls[at + 1].function, "hid_close");
        EXPECT_EQ(calls[at + 1].handle, failed.handle);
        int closes = 0;
        for (const sim::Call& call : calls) {
            closes += call.function == "hid_close" && call.handle == failed.handle ? 1 : 0;
        }
        EXPECT_EQ(closes, 1) << "the failed device is closed exactly once";
        EXPECT_EQ(sim::OpenHandleCount(), 0);
        EXPECT_EQ(deviceConnected, 0);
        EXPECT_EQ(deviceHandle, nullptr);
    }

    // With the link down, every action that does not open the controller
    // returns at once and calls no hidapi function; a connect brings the
    // clean run back.
    void ExpectDeadUntilReconnect()
    {
        sim::ClearRecords();
        for (const MatrixAction& later : Actions()) {
            if (!later.opensDevice) {
                const RunRecord record = later.run();
                EXPECT_EQ(record.CountOf(PacketResult::NoDevice) + record.CountOf(PacketResult::NotSent), record.count)
                    << later.name << " sent nothing";
                EXPECT_FALSE(record.started);
            }
        }
        EXPECT_EQ(PauseSequence(), -1);
        EXPECT_EQ(StopSequence(), -1);
        EXPECT_THAT(CallNames(), IsEmpty()) << "no traffic until the next connect";

        ExpectWorksAgain(true);
    }

    // The action runs clean again: after a reconnect, or on the open device.
    void ExpectWorksAgain(bool reconnect)
    {
        sim::SetAckMode(sim::AckMode::Ok);
        sim::SetStatusReply(sim::StatusReply::Normal);
        sim::SetStatusSeries({0x00});
        if (reconnect) {
            ASSERT_TRUE(ConnectDevice());
        }
        sim::ClearRecords();
        GetParam().run();
        EXPECT_THAT(Sent(), ElementsAreArray(clean_.packets));
        EXPECT_EQ(sim::OpenHandleCount(), 1);
    }

    // The link failed at one packet: those before it went out, none after it.
    static void ExpectRecordedLinkFailure(const RunRecord& record)
    {
        ASSERT_GE(record.linkFailedAt, 0);
        EXPECT_EQ(record.packets[record.linkFailedAt].result, PacketResult::LinkFailed);
        for (int i = 0; i < record.count; ++i) {
            const PacketResult result = record.packets[i].result;
            if (i < record.linkFailedAt) {
                EXPECT_TRUE(WentOut(result)) << "packet " << i;
            } else if (i > record.linkFailedAt) {
                EXPECT_TRUE(result == PacketResult::NoDevice || result == PacketResult::NotSent) << "packet " << i;
            }
        }
        const bool startedBefore = [&] {
            for (int i = 0; i < record.linkFailedAt; ++i) {
                if (record.packets[i].command == CmdPatternStartStop) {
                    return true;
                }
            }
            return false;
        }();
        EXPECT_EQ(record.started, startedBefore && record.startsSequence);
    }

    void ExpectStillOpen()
    {
        EXPECT_EQ(sim::CallCount("hid_close"), GetParam().opensDevice ? 1 : 0) << "only the action's own reopen closes";
        EXPECT_EQ(sim::OpenHandleCount(), 1);
        EXPECT_EQ(deviceConnected, 1);
        EXPECT_NE(deviceHandle, nullptr);
    }

    CleanRun clean_;
};

TEST_P(FaultMatrix, EveryFailedWrite)
{
    for (int k = 1; k <= clean_.writes; ++k) {
        Case("write " + std::to_string(k) + " of " + std::to_string(clean_.writes),
             [k] { sim::FailWriteAt(k); },
             [&, k](const RunRecord& record) {
                 ExpectLinkClosedAfterFailure("hid_write", k);
                 ExpectRecordedLinkFailure(record);
                 EXPECT_EQ(sim::WrittenReports().size(), static_cast<std::size_t>(k - 1))
                     << "no report is written after the failure";
                 ExpectDeadUntilReconnect();
             });
    }
}

TEST_P(FaultMatrix, EveryFailedRead)
{
    for (int k = 1; k <= clean_.reads; ++k) {
        Case("read " + std::to_string(k) + " of " + std::to_string(clean_.reads),
             [k] { sim::FailReadAt(k); },
             [&, k](const RunRecord& record) {
                 ExpectLinkClosedAfterFailure("hid_read_timeout", k);
                 ExpectRecordedLinkFailure(record);
                 ExpectDeadUntilReconnect();
             });
    }
}

// The clean run when the look-up-table check gives no verdict: a gated
// action ends after the status request, the others run on.
std::vector<std::string> UpToAFailedCheck(const std::vector<std::string>& clean, bool gated)
{
    const auto read = std::find(clean.begin(), clean.end(), "read CmdValidate []");
    return gated && read != clean.end() ? std::vector<std::string>(clean.begin(), read + 1) : clean;
}

// The clean run as a controller that refuses everything sees it: a refused
// pattern-table open ends that upload, and a refused check request ends the
// check before any status read.
std::vector<std::string> UnderRefusal(const std::vector<std::string>& clean)
{
    std::vector<std::string> refused;
    for (std::size_t i = 0; i < clean.size(); ++i) {
        if (clean[i] == "read CmdValidate []") {
            continue;
        }
        refused.push_back(clean[i]);
        if (clean[i] == "CmdLutAccess [02]") {
            i += 3;  // offset, data and close are not sent
        }
    }
    return refused;
}

TEST_P(FaultMatrix, ControllerRefusesEverything)
{
    Case("error flag on every acknowledgement", [] { sim::SetAckMode(sim::AckMode::ErrorFlag); },
         [&](const RunRecord& record) {
             const std::vector<std::string> expected =
                 UnderRefusal(UpToAFailedCheck(clean_.packets, GetParam().gated));
             EXPECT_THAT(RecordedOnTheWire(record), ElementsAreArray(CommandsOf(Sent())));
             EXPECT_EQ(record.CountOf(PacketResult::Refused), static_cast<int>(expected.size()));
             EXPECT_EQ(record.verdict, GetParam().validates ? TableVerdict::NoAnswer : TableVerdict::None);
             EXPECT_FALSE(record.started) << "every start was refused";
             EXPECT_THAT(Sent(), ElementsAreArray(expected)) << "the list runs on to its end";
             EXPECT_EQ(linkCounters.commandsSent, 0u);
             EXPECT_EQ(linkCounters.refusals, expected.size());
             ExpectStillOpen();
             if (GetParam().validates) {
                 EXPECT_EQ(lastLutValidation.result, -1);
             }
             ExpectWorksAgain(false);
         });
}

TEST_P(FaultMatrix, SilentController)
{
    Case("no acknowledgement and no status reply",
         [] {
             sim::SetAckMode(sim::AckMode::Silent);
             sim::SetStatusReply(sim::StatusReply::Silent);
         },
         [&](const RunRecord& record) {
             const std::vector<std::string> expected = UpToAFailedCheck(clean_.packets, GetParam().gated);
             EXPECT_THAT(RecordedOnTheWire(record), ElementsAreArray(CommandsOf(Sent())));
             EXPECT_EQ(record.CountOf(PacketResult::Unacknowledged), static_cast<int>(expected.size()));
             EXPECT_EQ(record.verdict, GetParam().validates ? TableVerdict::NoAnswer : TableVerdict::None);
             EXPECT_EQ(record.started, GetParam().validates && !GetParam().gated);
             EXPECT_THAT(Sent(), ElementsAreArray(expected)) << "a missing acknowledgement fails nothing";
             const unsigned writePackets = static_cast<unsigned>(expected.size()) - (GetParam().validates ? 1 : 0);
             EXPECT_EQ(linkCounters.missingAcks, writePackets);
             EXPECT_EQ(linkCounters.commandsSent, writePackets);
             ExpectStillOpen();
             if (GetParam().validates) {
                 EXPECT_EQ(lastLutValidation.result, -1);
                 EXPECT_FALSE(lastLutValidation.gaveUp);
             }
             ExpectWorksAgain(false);
         });
}

TEST_P(FaultMatrix, ControllerBusyForever)
{
    Case("status busy on every read", [] { sim::SetStatusSeries({0x80}); },
         [&](const RunRecord& record) {
             EXPECT_THAT(RecordedOnTheWire(record), ElementsAreArray(CommandsOf(Sent())));
             EXPECT_EQ(record.verdict, GetParam().validates ? TableVerdict::StayedBusy : TableVerdict::None);
             EXPECT_EQ(record.started, GetParam().validates && !GetParam().gated);
             // The repeated status reads, taken as one, leave the clean run.
             std::vector<std::string> collapsed;
             int polls = 0;
             for (const std::string& packet : Sent()) {
                 const bool poll = packet == "read CmdValidate []";
                 polls += poll ? 1 : 0;
                 if (!poll || collapsed.empty() || collapsed.back() != packet) {
                     collapsed.push_back(packet);
                 }
             }
             EXPECT_THAT(collapsed, ElementsAreArray(UpToAFailedCheck(clean_.packets, GetParam().gated)))
                 << "the list runs on after the check gives up";
             ExpectStillOpen();
             if (GetParam().validates) {
                 // How many polls fit in the 2 ms bound depends on the load of
                 // the machine; that a busy reply is polled again is the
                 // look-up-table tests' business.
                 EXPECT_GE(polls, 1);
                 EXPECT_TRUE(lastLutValidation.gaveUp);
                 EXPECT_EQ(lastLutValidation.result, -1);
             }
             ExpectWorksAgain(false);
         });
}

INSTANTIATE_TEST_SUITE_P(Actions, FaultMatrix, ::testing::ValuesIn(Actions()), CaseName());

}  // namespace
