// Look-up-table words, their upload and the validation poll.
#include "patterns/lut.h"
#include "sim_fixture.h"

#include <cstring>

using namespace lumora;
using ::testing::ElementsAre;

namespace {

struct WordCase {
    LutWord word;
    std::uint32_t value;
};

TEST(LutWordFields, ComposeTheWordsTheControllerIsSent)
{
    const WordCase cases[] = {
        {{.patternNumber = 0, .bitDepth = 8, .ledSelect = 7, .insertBlack = true, .bufferSwap = true}, 0x67800},
        {{.patternNumber = 1, .bitDepth = 8, .ledSelect = 7, .insertBlack = true, .bufferSwap = true}, 0x67804},
        {{.patternNumber = 2, .bitDepth = 8, .ledSelect = 7, .insertBlack = true, .bufferSwap = true}, 0x67808},
        {{.patternNumber = 1, .bitDepth = 8, .ledSelect = 7, .insertBlack = true}, 0x27804},
        {{.patternNumber = 2, .bitDepth = 8, .ledSelect = 7, .insertBlack = true}, 0x27808},
        {{.patternNumber = 1, .bitDepth = 8, .ledSelect = 4, .insertBlack = true}, 0x24804},
        // The fields the presets leave at 0, each alone.
        {{.triggerType = 3}, 0x3},
        {{.invertPattern = true}, 0x10000},
        {{.triggerOutPrevious = true}, 0x80000},
        {{.patternNumber = 63}, 0xFC},
    };
    for (const WordCase& c : cases) {
        EXPECT_EQ(c.word.Value(), c.value) << std::hex << c.value;
        EXPECT_EQ(LutWord::FromValue(c.value).Value(), c.value) << std::hex << c.value;
    }
}

class Lut : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        SetStatusPollBound(std::chrono::milliseconds(20));
    }
};

TEST_F(Lut, PatternTableOfNoEntriesStillSendsItsDataPacket)
{
    Connect();
    PatternLut.count = 0;
    EXPECT_EQ(UploadPatternLut(), 0);
    EXPECT_THAT(Sent(), ElementsAre("CmdLutAccess [02]", "CmdLutOffset [00]", "CmdLutData []", "CmdLutAccess [00]"));
}

TEST_F(Lut, PatternTableSendsOnlyTheCountedEntriesLeastSignificantByteFirst)
{
    Connect();
    for (std::uint32_t i = 0; i < kPatternLutCapacity; ++i) {
        PatternLut.entries[i] = 0xEE0000 + i;  // stale beyond the count
    }
    PatternLut.entries[0] = 0x67800;
    PatternLut.entries[1] = 0x24804;
    PatternLut.count = 2;
    EXPECT_EQ(UploadPatternLut(), 0);
    EXPECT_EQ(Sent()[2], "CmdLutData [00 78 06 04 48 02]");

    sim::ClearRecords();
    PatternLut.count = 31;
    EXPECT_EQ(UploadPatternLut(), 0);
    const sim::Packet& data = sim::Packets()[2];
    EXPECT_EQ(data.length, 95);
    EXPECT_EQ(data.reports, 2);

    sim::ClearRecords();
    PatternLut.count = kPatternLutCapacity;
    EXPECT_EQ(UploadPatternLut(), 0);
    EXPECT_EQ(sim::Packets()[2].reports, 7);
    EXPECT_EQ(sim::Packets()[2].payload.size(), 384U);
}

TEST_F(Lut, PatternTableRefusesACountBeyondItsCapacity)
{
    Connect();
    const std::uint8_t before = sequenceNumber;
    PatternLut.count = kPatternLutCapacity + 1;
    EXPECT_EQ(UploadPatternLut(), -1);
    EXPECT_TRUE(sim::Calls().empty());
    EXPECT_EQ(sequenceNumber, before);
}

TEST_F(Lut, PatternTableStopsWhenItCannotBeOpened)
{
    Connect();
    sim::RefuseCommand(0x1A33);
    PatternLut.count = 1;
    EXPECT_EQ(UploadPatternLut(), -1);
    EXPECT_THAT(Sent(), ElementsAre("CmdLutAccess [02]"));
}

TEST_F(Lut, PatternTableClosesAndFailsWhenItsDataIsRefused)
{
    Connect();
    sim::RefuseCommand(0x1A34);
    PatternLut.count = 1;
    EXPECT_EQ(UploadPatternLut(), -1);
    EXPECT_EQ(Sent().back(), "CmdLutAccess [00]");
}

struct ImageCase {
    std::vector<std::uint8_t> indices;
    const char* sent;     // by UploadImageLut
    const char* inOrder;  // by UploadImageLutInOrder
};

TEST_F(Lut, ImageTableKeepsItsOrderExceptThatTwoEntriesGoOutExchanged)
{
    Connect();
    std::vector<std::uint8_t> sixtyFour(64);
    for (std::size_t i = 0; i < sixtyFour.size(); ++i) {
        sixtyFour[i] = static_cast<std::uint8_t>(i);
    }
    const ImageCase cases[] = {
        {{5, 9}, "CmdLutData [09 05]", "CmdLutData [05 09]"},
        {{4}, "CmdLutData [04]", "CmdLutData [04]"},
        {{0, 1, 2}, "CmdLutData [00 01 02]", "CmdLutData [00 01 02]"},
        {sixtyFour, nullptr, nullptr},
    };
    for (const ImageCase& c : cases) {
        for (const bool inOrder : {false, true}) {
            sim::ClearRecords();
            const int count = static_cast<int>(c.indices.size());
            const int result = inOrder ? UploadImageLutInOrder(count, c.indices.data())
                                       : UploadImageLut(count, c.indices.data());
            EXPECT_EQ(result, count <= 58 ? 4 + 2 + count : 128);
            const std::vector<std::string> sent = Sent();
            ASSERT_EQ(sent.size(), 4U);
            EXPECT_EQ(sent[0], "CmdLutAccess [01]");
            EXPECT_EQ(sent[1], "CmdLutOffset [00]");
            EXPECT_EQ(sent[3], "CmdLutAccess [00]");
            if (const char* expected = inOrder ? c.inOrder : c.sent) {
                EXPECT_EQ(sent[2], expected);
            } else {
                EXPECT_EQ(sim::Packets()[2].payload, c.indices);
            }
        }
    }
}

TEST_F(Lut, ImageTableRefusesNoneOrMoreThanSixtyFourEntries)
{
    Connect();
    const std::uint8_t indices[65] = {};
    const std::uint8_t before = sequenceNumber;
    EXPECT_EQ(UploadImageLut(0, indices), -1);
    EXPECT_EQ(UploadImageLut(65, indices), -1);
    EXPECT_EQ(UploadImageLut(-1, indices), -1);
    EXPECT_EQ(UploadImageLutInOrder(0, indices), -1);
    EXPECT_EQ(UploadImageLutInOrder(65, indices), -1);
    EXPECT_TRUE(sim::Calls().empty());
    EXPECT_EQ(sequenceNumber, before);
}

TEST_F(Lut, ImageTableRunsOnAfterAFailedOpenAndReportsItsData)
{
    Connect();
    sim::RefuseCommand(0x1A33);
    const std::uint8_t index = 3;
    EXPECT_EQ(UploadImageLut(1, &index), 7);
    EXPECT_EQ(Sent().size(), 4U);
}

TEST_F(Lut, ImageTableClosesAndFailsWhenItsDataIsRefused)
{
    Connect();
    sim::RefuseCommand(0x1A34);
    const std::uint8_t index = 3;
    EXPECT_EQ(UploadImageLut(1, &index), -1);
    EXPECT_EQ(Sent().back(), "CmdLutAccess [00]");
}

struct PollCase {
    const char* name;
    std::vector<std::uint8_t> series;
    sim::StatusReply reply;
    int result;
    int status;  // the status written, or -99 for none
    int polls;   // status requests sent; 0 = more than one, bounded by time
    bool gaveUp;
};

class StatusPoll : public Lut, public ::testing::WithParamInterface<PollCase> {};

TEST_P(StatusPoll, EndsWhenTheBusyBitClearsOrTheReplyFails)
{
    const PollCase& c = GetParam();
    Connect();
    sim::SetStatusSeries(c.series);
    sim::SetStatusReply(c.reply);
    int status = -99;

    EXPECT_EQ(WaitLutValid(status), c.result);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(lastLutValidation.gaveUp, c.gaveUp);

    // One validate write, then the same read request every time.
    ASSERT_GE(sim::Packets().size(), 2U);
    EXPECT_EQ(Sent()[0], "CmdValidate [00]");
    int polls = 0;
    for (std::size_t i = 1; i < sim::WrittenReports().size(); ++i) {
        const sim::Report& report = sim::WrittenReports()[i];
        EXPECT_EQ(sim::Hex(report.data(), 7), "00 C0 00 02 00 1A 1A");
        EXPECT_TRUE(std::all_of(report.begin() + 7, report.end(), [](std::uint8_t b) { return b == 0; }));
        ++polls;
    }
    if (c.polls > 0) {
        EXPECT_EQ(polls, c.polls);
    } else {
        EXPECT_GT(polls, 1);
    }
}

const auto Normal = sim::StatusReply::Normal;
INSTANTIATE_TEST_SUITE_P(
    Cases, StatusPoll,
    ::testing::Values(PollCase{"BusyThenDone", {0x80, 0x00}, Normal, 0, 0, 2, false},
                      PollCase{"VerdictAtOnce", {0x05}, Normal, 0, 5, 1, false},
                      PollCase{"BusyWithVerdictKeepsPolling", {0x81, 0x81, 0x01}, Normal, 0, 1, 3, false},
                      PollCase{"BusyForeverGivesUp", {0x80}, Normal, -1, -99, 0, true},
                      PollCase{"NoReply", {0x00}, sim::StatusReply::Silent, -1, -99, 1, false},
                      PollCase{"EmptyReply", {0x00}, sim::StatusReply::Empty, -1, -99, 1, false},
                      PollCase{"ErrorFlag", {0x00}, sim::StatusReply::ErrorFlag, -1, -99, 1, false},
                      PollCase{"TooShortForTheStatus", {0x00}, sim::StatusReply::Short, -1, -99, 1, false}),
    CaseName());

TEST_F(Lut, RefusedValidateWriteEndsWithoutPolling)
{
    Connect();
    sim::RefuseCommand(0x1A1A);
    int status = -99;
    EXPECT_EQ(WaitLutValid(status), -1);
    EXPECT_THAT(Sent(), ElementsAre("CmdValidate [00]"));
    EXPECT_EQ(status, -99);
}

}  // namespace
