// Replies matched to their packets: a late reply, a reply carrying another
// packet's sequence byte and reports waiting at the open are never credited
// to the wrong command, with a controller that echoes the sequence byte and
// with one that does not.
#include "actions/action.h"
#include "sim_fixture.h"

#include <chrono>
#include <functional>
#include <map>

using namespace lumora;
using namespace std::chrono_literals;

namespace {

constexpr std::uint8_t kFirstSequence = 0x20;  // of each case's first packet

// Where a command first stands in the action's run, counted from 0.
int IndexOf(ActionKind kind, CommandId command)
{
    CommandRun run;
    PlanAction({.kind = kind}, run);
    const std::vector<RunListingLine> lines = ListCommands(run);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].packet.command == command && !lines[i].packet.readRequest) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const int kPolarity = IndexOf(ActionKind::StartVideoMode, CmdLedPwmPolarity);  // 10
const int kVideoCurrents = IndexOf(ActionKind::StartVideoMode, CmdLedCurrent);  // 11
const int kCheck = IndexOf(ActionKind::FullFringes, CmdValidate);              // the check's write
const int kFringeCurrents = IndexOf(ActionKind::FullFringes, CmdLedCurrent);

struct ReplyCase {
    const char* name;
    ActionKind action;
    bool echo;
    std::function<void()> arrange;  // faults by packet number, counted from 1 (index + 1)
    std::map<int, PacketResult> odd;  // packets, by index, that are not Acknowledged
    std::map<int, int> stale;         // packets, by index, with stale reports
    TableVerdict verdict = TableVerdict::None;
};

void PrintTo(const ReplyCase& c, std::ostream* out) { *out << c.name; }

void LateThenRefused(int late)
{
    sim::LateReply(late + 1, 2050ms);
    sim::RefuseCommand(CommandTable[CmdLedCurrent].group << 8 | CommandTable[CmdLedCurrent].code);
}

const ReplyCase kReplyCases[] = {
    // A reply that outlasts its wait, then a refusal of the next command.
    {"LateThenRefusedWithEcho", ActionKind::StartVideoMode, true, [] { LateThenRefused(kPolarity); },
     {{kPolarity, PacketResult::Unacknowledged}, {kVideoCurrents, PacketResult::Refused}}, {{kVideoCurrents, 1}}},
    // Without echo the late reply is taken for the next command's, as it
    // always was; the refusal behind it is read away before the command
    // after, instead of being credited to that one.
    {"LateThenRefusedWithoutEcho", ActionKind::StartVideoMode, false, [] { LateThenRefused(kPolarity); },
     {{kPolarity, PacketResult::Unacknowledged}}, {{kVideoCurrents + 1, 1}}},
    {"LateInTimeWithEcho", ActionKind::StartVideoMode, true, [] { sim::LateReply(5, 1500ms); }, {}, {}},
    {"LateInTimeWithoutEcho", ActionKind::StartVideoMode, false, [] { sim::LateReply(5, 1500ms); }, {}, {}},
    {"ForeignReplyWithEcho", ActionKind::StartVideoMode, true, [] { sim::ReplySequence(5, 0xEE); },
     {{4, PacketResult::Unacknowledged}}, {{4, 1}}},
    {"ForeignReplyWithoutEcho", ActionKind::StartVideoMode, false, [] { sim::ReplySequence(5, 0xEE); }, {}, {}},
    // The check's acknowledgement comes late: the status request, sequence
    // 0, passes over it and reads its own status; the refusal stays with
    // the LED currents.
    {"LateCheckWithEcho", ActionKind::FullFringes, true, [] { LateThenRefused(kCheck); },
     {{kCheck, PacketResult::Unacknowledged}, {kFringeCurrents, PacketResult::Refused}}, {{kCheck + 1, 1}},
     TableVerdict::Accepted},
    // Without echo the status request takes the late acknowledgement, as it
    // always did; its own reply is read away before the next command, so
    // that every later command still gets its own.
    {"LateCheckWithoutEcho", ActionKind::FullFringes, false, [] { LateThenRefused(kCheck); },
     {{kCheck, PacketResult::Unacknowledged},
      {kCheck + 1, PacketResult::Unacknowledged},
      {kFringeCurrents, PacketResult::Refused}},
     {{kCheck + 2, 1}}, TableVerdict::NoAnswer},
};

class Replies : public FastPresetTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(Replies, EachCommandIsCreditedWithItsOwnReply)
{
    const ReplyCase& c = GetParam();
    Connect();
    sequenceNumber = kFirstSequence;
    sim::SetEcho(c.echo);
    c.arrange();
    const RunRecord record = RunAction({.kind = c.action}).run;

    CommandRun run;
    PlanAction({.kind = c.action}, run);
    const std::vector<RunListingLine> planned = ListCommands(run);
    ASSERT_EQ(record.count, static_cast<int>(planned.size()));
    EXPECT_EQ(sim::Packets().size(), planned.size()) << "the controller saw every packet once";
    int stale = 0;
    for (int i = 0; i < record.count; ++i) {
        const auto odd = c.odd.find(i);
        const auto count = c.stale.find(i);
        EXPECT_EQ(record.packets[i].result, odd != c.odd.end() ? odd->second : PacketResult::Acknowledged)
            << "packet " << i << ", " << CommandNames[record.packets[i].command];
        EXPECT_EQ(record.packets[i].staleReports, count != c.stale.end() ? count->second : 0) << "packet " << i;
        stale += count != c.stale.end() ? count->second : 0;
    }
    EXPECT_EQ(record.staleReports, stale);
    EXPECT_EQ(record.verdict, c.verdict);
    EXPECT_EQ(replyMatching, c.echo ? ReplyMatching::Echo : ReplyMatching::Any);
}

INSTANTIATE_TEST_SUITE_P(Cases, Replies, ::testing::ValuesIn(kReplyCases), CaseName());

struct LearningCase {
    const char* name;
    bool echo;
    std::uint8_t firstSequence;
    ReplyMatching matching;
};

class Learning : public SimTest, public ::testing::WithParamInterface<LearningCase> {};

// Neither kind of controller waits longer for a reply of its own: with real
// time-outs, one wait beyond the reply would cost two seconds.
TEST_P(Learning, TheFirstTellingReplySetsTheMatchingAndNothingWaits)
{
    const LearningCase& c = GetParam();
    sim::SetEcho(c.echo);
    sim::SetRealTimeouts(true);
    sequenceNumber = c.firstSequence;
    const auto start = std::chrono::steady_clock::now();
    const RunRecord record = RunAction({.kind = ActionKind::StartVideoMode}).run;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(record.CountOf(PacketResult::Acknowledged), record.count);
    EXPECT_EQ(record.staleReports, 0);
    EXPECT_EQ(replyMatching, c.matching);
    CloseDevice();
    EXPECT_EQ(replyMatching, ReplyMatching::Unknown);
}

// A reply carrying 0 to a packet of sequence 0 tells nothing: a controller
// that does not echo leaves 0 there too.
INSTANTIATE_TEST_SUITE_P(Cases, Learning,
                         ::testing::Values(LearningCase{"Echo", true, kFirstSequence, ReplyMatching::Echo},
                                           LearningCase{"EchoFromZero", true, 0, ReplyMatching::Echo},
                                           LearningCase{"NoEcho", false, kFirstSequence, ReplyMatching::Any},
                                           LearningCase{"NoEchoFromZero", false, 0, ReplyMatching::Any},
                                           LearningCase{"NoEchoWrappingToZero", false, 0xFF, ReplyMatching::Any}),
                         CaseName());

using RepliesAtOpen = SimTest;

// What a connection learnt goes with it: the next open starts afresh.
TEST_F(RepliesAtOpen, TheMatchingStartsAfreshWithEveryOpen)
{
    Connect();
    sequenceNumber = kFirstSequence;
    EXPECT_EQ(RunAction({.kind = ActionKind::Stop}).run.CountOf(PacketResult::Acknowledged), 1);
    EXPECT_EQ(replyMatching, ReplyMatching::Echo);
    sim::SetEcho(false);
    const RunRecord record = RunAction({.kind = ActionKind::StartVideoMode}).run;
    EXPECT_EQ(record.CountOf(PacketResult::Acknowledged), record.count);
    EXPECT_EQ(replyMatching, ReplyMatching::Any);
}

// Reports already waiting when the module is opened are read away and
// counted with the first packet.
TEST_F(RepliesAtOpen, ReportsWaitingAtTheOpenAreReadAwayAndCounted)
{
    int waiting = 2;
    sim::SetReadScript([&waiting](std::uint8_t* data, std::size_t) {
        if (waiting == 0) {
            return sim::kControllerAnswer;
        }
        --waiting;
        data[kReplyFlagsAt] = kFlagError;  // a refusal no command of this connection earned
        return 64;
    });
    Connect();
    const RunRecord record = RunAction({.kind = ActionKind::Stop}).run;
    EXPECT_EQ(record.packets[0].result, PacketResult::Acknowledged);
    EXPECT_EQ(record.packets[0].staleReports, 2);
    EXPECT_EQ(record.staleReports, 2);
}

// A module that never stops sending cannot hold the link in the read-away.
TEST_F(RepliesAtOpen, AFloodIsReadAwayOnlyUpToItsBound)
{
    Connect();
    sim::SetReadScript([](std::uint8_t*, std::size_t) { return 64; });
    const RunRecord record = RunAction({.kind = ActionKind::Stop}).run;
    EXPECT_EQ(sim::WrittenReports().size(), 1u);
    EXPECT_EQ(record.packets[0].result, PacketResult::Acknowledged);
    EXPECT_EQ(record.packets[0].staleReports, kMaxStaleReports);
}

}  // namespace
