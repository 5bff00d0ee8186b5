// Every action as a plan: its listing is exactly what goes on the wire, and
// an action that breaks a rule sends nothing and says so.
#include "actions/action.h"
#include "actions/outcome.h"
#include "patterns/sequence_file.h"
#include "patterns/sequence_listing.h"
#include "sim_fixture.h"

using namespace lumora;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

struct PlanCase {
    const char* name;
    Action action;
    std::size_t packets;  // in the listing, the status request once
};

Action SequenceFromExample()
{
    SequenceFile file = ReadSequenceFile(EXAMPLES_DIR "/fringes-8bit.toml");
    EXPECT_TRUE(file.errors.empty());
    return {.kind = ActionKind::Sequence, .sequence = std::make_shared<const Sequence>(*file.sequence),
            .sequenceName = "fringes-8bit.toml"};
}

class Plans : public FastPresetTest, public ::testing::WithParamInterface<PlanCase> {};

// The listing, as the controller decodes what it receives.
std::vector<std::string> Listed(const Action& action)
{
    CommandRun run;
    EXPECT_TRUE(PlanAction(action, run));
    std::vector<std::string> listed;
    for (const RunListingLine& line : ListPlan(run).run) {
        listed.push_back(DescribePacket(line.packet));
    }
    return listed;
}

TEST_P(Plans, TheListingIsTheWire)
{
    const PlanCase& c = GetParam();
    const std::vector<std::string> listed = Listed(c.action);
    EXPECT_EQ(listed.size(), c.packets);
    if (c.action.kind != ActionKind::StartVideoMode) {
        Connect();
    }
    const ActionRecord record = RunAction(c.action);
    EXPECT_THAT(Sent(), ElementsAreArray(listed));
    EXPECT_EQ(record.run.count, static_cast<int>(c.packets));
    EXPECT_EQ(record.run.CountOf(PacketResult::Acknowledged), record.run.count);
    SelectModule(L"");
    ReleaseDevice();
}

INSTANTIATE_TEST_SUITE_P(
    Actions, Plans,
    ::testing::Values(PlanCase{"VideoMode", {.kind = ActionKind::StartVideoMode}, 18},
                      PlanCase{"Pause", {.kind = ActionKind::Pause}, 1},
                      PlanCase{"Stop", {.kind = ActionKind::Stop}, 1},
                      PlanCase{"Leds", {.kind = ActionKind::Leds, .leds = {0, 128, 255}}, 1},
                      PlanCase{"FullFringes", {.kind = ActionKind::FullFringes, .frequency = 120}, 29},
                      PlanCase{"RangeOfTwo", {.kind = ActionKind::Range, .frequency = 30, .first = 4, .last = 5}, 29},
                      PlanCase{"Range", {.kind = ActionKind::Range, .frequency = 1, .first = 1, .last = 31}, 29},
                      PlanCase{"OnePicture", {.kind = ActionKind::OnePicture, .frequency = 10, .first = 31}, 28},
                      PlanCase{"Cross", {.kind = ActionKind::Cross}, 16},
                      PlanCase{"Sequence", SequenceFromExample(), 29}),
    CaseName());

TEST(PlanListing, ARangeOfTwoListsItsImagesExchanged)
{
    CommandRun run;
    ASSERT_TRUE(PlanAction({.kind = ActionKind::Range, .frequency = 30, .first = 4, .last = 7}, run));
    const SequenceListing listing = ListPlan(run);
    EXPECT_THAT(listing.images, ElementsAreArray({1, 1, 1, 2}));
    ASSERT_TRUE(PlanAction({.kind = ActionKind::Range, .frequency = 30, .first = 3, .last = 4}, run));
    EXPECT_THAT(ListPlan(run).images, ElementsAreArray({1, 0}));
    EXPECT_EQ(ListPlan(run).exposureUs, 33333U);
}

struct InvalidCase {
    const char* name;
    Action action;
    const char* text;
};

class InvalidActions : public SimTest, public ::testing::WithParamInterface<InvalidCase> {};

TEST_P(InvalidActions, SendNothingAndSaySo)
{
    const InvalidCase& c = GetParam();
    Connect();
    const std::uint8_t before = sequenceNumber;
    const ActionRecord record = RunAction(c.action);
    EXPECT_THAT(CallNames(), IsEmpty());
    EXPECT_EQ(sequenceNumber, before);
    EXPECT_TRUE(record.run.invalid);
    EXPECT_EQ(record.run.count, 0);
    const Outcome outcome = ConcludeAction(c.action, record, Audience::Script);
    EXPECT_EQ(outcome.severity, Severity::Failure);
    EXPECT_EQ(outcome.problem, Problem::InvalidArgument);
    EXPECT_EQ(outcome.text, c.text);
    CommandRun run;
    EXPECT_FALSE(PlanAction(c.action, run));
    ReleaseDevice();
}

INSTANTIATE_TEST_SUITE_P(
    Rules, InvalidActions,
    ::testing::Values(
        InvalidCase{"RangeBackwards",
                    {.kind = ActionKind::Range, .frequency = 30, .first = 12, .last = 1},
                    "Project pictures 12 to 1 at 30 Hz: the first picture (M) must not be greater than the last "
                    "picture (N); nothing was sent."},
        InvalidCase{"FrequencyZero",
                    {.kind = ActionKind::FullFringes, .frequency = 0},
                    "Project Full Fringes at 0 Hz: the frequency (Hz) must be a whole number from 1 to 120, not '0'; "
                    "nothing was sent."},
        InvalidCase{"Picture32",
                    {.kind = ActionKind::OnePicture, .frequency = 10, .first = 32},
                    "Project picture 32 at 10 Hz: the picture P must be a whole number from 1 to 31, not '32'; "
                    "nothing was sent."},
        InvalidCase{"LastBeyond",
                    {.kind = ActionKind::Range, .frequency = 10, .first = 1, .last = 32},
                    "Project pictures 1 to 32 at 10 Hz: the last picture N must be a whole number from 1 to 31, "
                    "not '32'; nothing was sent."},
        InvalidCase{"GreenTooBright",
                    {.kind = ActionKind::Leds, .leds = {0, 256, 0}},
                    "LED currents 0, 256, 0: the green LED current must be a whole number from 0 to 255, not '256'; "
                    "nothing was sent."}),
    CaseName());

}  // namespace
