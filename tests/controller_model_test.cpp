// The controller model that both simulated modules share: its transcript,
// vanishing after a number of reports, and the words of its settings.
#include "connection/diagnosis.h"
#include "link/commands.h"
#include "patterns/lut.h"
#include "sim_fixture.h"

#include <unistd.h>

#include <cstdio>
#include <optional>
#include <sstream>

using namespace lumora;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

// A transcript written to a temporary file, read back line by line.
class Transcript {
public:
    Transcript() : file_(std::tmpfile()) {}
    ~Transcript() { std::fclose(file_); }
    int fd() const { return ::fileno(file_); }

    std::vector<std::string> Lines() const
    {
        std::string text;
        std::rewind(file_);
        for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_)) {
            text += static_cast<char>(c);
        }
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    // Each line's direction and the number of bytes it shows: "out 65".
    std::vector<std::string> Shapes() const
    {
        std::vector<std::string> shapes;
        for (const std::string& line : Lines()) {
            std::istringstream words(line);
            std::string module;
            std::string direction;
            words >> module >> direction;
            int bytes = 0;
            for (std::string byte; words >> byte;) {
                ++bytes;
            }
            shapes.push_back(direction + (bytes > 0 ? " " + std::to_string(bytes) : ""));
        }
        return shapes;
    }

private:
    std::FILE* file_;
};

struct TranscriptCase {
    const char* name;
    std::function<void()> configure;
    std::function<void()> act;
    std::vector<std::string> shapes;
};

class TranscriptLines : public SimTest, public ::testing::WithParamInterface<TranscriptCase> {};

TEST_P(TranscriptLines, ShowEveryReportWhole)
{
    const TranscriptCase& c = GetParam();
    Transcript transcript;
    Connect();
    sim::SetTranscript(transcript.fd());
    c.configure();
    c.act();
    sim::SetTranscript(-1);
    EXPECT_THAT(transcript.Shapes(), ElementsAreArray(c.shapes));
}

const auto kNothing = [] {};
const auto kPause = [] { PauseSequence(); };
const auto kStatusRead = [] {
    int status = 0;
    WaitLutValid(status);
};
const auto kTwoReportPacket = [] {
    const std::uint8_t images[64] = {};
    UploadImageLut(64, images);
};

INSTANTIATE_TEST_SUITE_P(
    Cases, TranscriptLines,
    ::testing::Values(
        TranscriptCase{"Acknowledged", kNothing, kPause, {"out 65", "in 64"}},
        TranscriptCase{"Refused", [] { sim::SetAckMode(sim::AckMode::ErrorFlag); }, kPause, {"out 65", "in 64"}},
        TranscriptCase{"Silent", [] { sim::SetAckMode(sim::AckMode::Silent); }, kPause, {"out 65"}},
        TranscriptCase{"TwoReportsOneAnswer",
                       kNothing,
                       kTwoReportPacket,
                       {"out 65", "in 64", "out 65", "in 64", "out 65", "out 65", "in 64", "out 65", "in 64"}},
        TranscriptCase{"ShortStatusReply",
                       [] { sim::SetStatusReply(sim::StatusReply::Short); },
                       kStatusRead,
                       {"out 65", "in 64", "out 65", "in 4"}},
        TranscriptCase{"SilentStatusRead",
                       [] { sim::SetStatusReply(sim::StatusReply::Silent); },
                       kStatusRead,
                       {"out 65", "in 64", "out 65"}},
        TranscriptCase{"VanishesAfterItsAnswer",
                       [] { sim::VanishAfter(2); },
                       [] {
                           PauseSequence();
                           StopSequence();
                           StopSequence();
                       },
                       {"out 65", "in 64", "out 65", "in 64", "gone"}}),
    CaseName());

TEST_F(SimTest, TranscriptLinesCarryTheModuleAndTheBytes)
{
    Transcript transcript;
    sim::SetModuleCount(2);
    SelectModule(L"SIM0002");
    Connect();
    SelectModule(L"");
    sim::SetTranscript(transcript.fd());
    sequenceNumber = 0x2A;
    PauseSequence();
    sim::SetTranscript(-1);
    EXPECT_THAT(transcript.Lines(), ElementsAre(::testing::StartsWith("SIM0002 out 00 40 2A 03 00 24 1A 01 "),
                                                ::testing::StartsWith("SIM0002 in 00 2A 00 00 ")));
}

TEST_F(SimTest, AVanishedModuleFailsTheLinkAndIsNoLongerListed)
{
    sim::VanishAfter(1);
    Connect();
    EXPECT_EQ(PauseSequence(), 7) << "its last answer is still read";
    EXPECT_EQ(deviceConnected, 1);
    EXPECT_EQ(StopSequence(), -1);
    EXPECT_EQ(deviceConnected, 0) << "a link failure";
    EXPECT_THAT(Sent(), ElementsAre("CmdPatternStartStop [01]"));
    EXPECT_THAT(ListModules(), ::testing::IsEmpty());
    EXPECT_FALSE(ConnectDevice());
}

struct SeriesCase {
    const char* text;
    std::optional<std::vector<std::uint8_t>> series;
};

TEST(ControllerModel, ReadsStatusSeries)
{
    const SeriesCase cases[] = {
        {"80,80,00", std::vector<std::uint8_t>{0x80, 0x80, 0x00}},
        {"5", std::vector<std::uint8_t>{0x05}},
        {"ff,A1", std::vector<std::uint8_t>{0xFF, 0xA1}},
        {"", std::nullopt},
        {"80,", std::nullopt},
        {"100", std::nullopt},
        {"8g", std::nullopt},
        {"+5", std::nullopt},
        {"80 ,00", std::nullopt},
    };
    for (const SeriesCase& c : cases) {
        EXPECT_EQ(sim::ParseStatusSeries(c.text), c.series) << "'" << c.text << "'";
    }
}

// The reply faults' and refusals' words: "N:V" lists, command names or hex words.
TEST(ControllerModel, ReadsReplyFaultsAndCommandWords)
{
    const auto late = sim::ParseLateReplies("3:2500,7:0");
    ASSERT_TRUE(late);
    ASSERT_EQ(late->size(), 2u);
    EXPECT_EQ((*late)[0].packet, 3);
    EXPECT_EQ((*late)[0].late.count(), 2500);
    EXPECT_EQ(sim::ParseReplySequences("5:238")->at(0).sequence, 238);
    for (const char* bad : {"", "0:10", "3", "3:", "3:-1", "3:10,"}) {
        EXPECT_EQ(sim::ParseLateReplies(bad), std::nullopt) << "'" << bad << "'";
    }
    EXPECT_EQ(sim::ParseReplySequences("3:256"), std::nullopt);
    EXPECT_EQ(sim::ParseCommandWords("CmdLedCurrent,0x1a24"), (std::vector<std::uint16_t>{0x0B01, 0x1A24}));
    for (const char* bad : {"cmdledcurrent", "0x12345", "1A24", "CmdLedCurrent,"}) {
        EXPECT_EQ(sim::ParseCommandWords(bad), std::nullopt) << "'" << bad << "'";
    }
}

TEST(ControllerModel, KnowsOnlyItsOwnWords)
{
    EXPECT_EQ(sim::ParseAckMode("silent"), sim::AckMode::Silent);
    EXPECT_EQ(sim::ParseAckMode("Silent"), std::nullopt);
    EXPECT_EQ(sim::ParseStatusReply("short"), sim::StatusReply::Short);
    EXPECT_EQ(sim::ParseStatusReply("shorter"), std::nullopt);
}

}  // namespace
