// The four presets' complete command runs, as the controller receives them.
#include "patterns/lut.h"
#include "patterns/presets.h"
#include "sim_fixture.h"

#include <chrono>
#include <functional>

using namespace lumora;
using ::testing::ElementsAreArray;

namespace {

// Hex of 24-bit words, three bytes each, least significant first.
std::string Words(const std::vector<std::uint32_t>& words)
{
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t w : words) {
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(w >> 8),
                                   static_cast<std::uint8_t>(w >> 16)});
    }
    return sim::Hex(bytes.data(), bytes.size());
}

std::string Bytes(const std::vector<std::uint8_t>& bytes) { return sim::Hex(bytes.data(), bytes.size()); }

std::string Timing(std::uint32_t us)
{
    const std::vector<std::uint8_t> le = {static_cast<std::uint8_t>(us), static_cast<std::uint8_t>(us >> 8),
                                          static_cast<std::uint8_t>(us >> 16), static_cast<std::uint8_t>(us >> 24)};
    return "CmdExposurePeriod [" + Bytes(le) + " " + Bytes(le) + "]";
}

// The pattern rule, written out: p % 3 picks the word.
std::uint32_t Rule(int p)
{
    static const std::uint32_t words[] = {0x67800, 0x27804, 0x27808};
    return words[p % 3];
}

std::vector<std::string> Upload(const std::string& words, const std::string& images)
{
    return {"CmdLutAccess [02]", "CmdLutOffset [00]", "CmdLutData [" + words + "]", "CmdLutAccess [00]",
            "CmdLutAccess [01]", "CmdLutOffset [00]", "CmdLutData [" + images + "]", "CmdLutAccess [00]",
            "CmdValidate [00]",  "read CmdValidate []"};
}

const std::vector<std::string> kStartTail = {
    "CmdLedEnable [08]", "CmdLedPwmPolarity [00]", "CmdLedCurrent [78 78 78]", "CmdLedEnable [0F]",
    "CmdPatternStartStop [02]",  // the pause comes here
    "CmdPatternStartStop [02]", "CmdPatternStartStop [02]", "CmdPatternStartStop [02]", "CmdPatternStartStop [02]",
    "CmdPatternStartStop [02]", "CmdPatternStartStop [02]", "CmdPatternStartStop [02]",
};

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

std::vector<std::string> FullFringes(int f)
{
    std::vector<std::uint32_t> words = {0x67800, 0x24804, 0x27808, 0x67808, 0x27804, 0x27808};
    for (int k = 2; k <= 9; ++k) {
        words.insert(words.end(), {0x67800, 0x27804, 0x27808});
    }
    words.push_back(0x67800);
    return Join({{"CmdDisplayMode [01]", "CmdPatternSource [03]", "CmdLutControl [1E 01 1E 0A]",
                  "CmdLongAxisFlip [00]", "CmdShortAxisFlip [01]", Timing(1000000U / static_cast<unsigned>(f)),
                  "CmdTriggerMode [01]"},
                 Upload(Words(words), "00 01 02 03 04 05 06 07 08 09 0A"),
                 kStartTail});
}

std::vector<std::string> Range(int f, int m, int n)
{
    std::vector<std::uint32_t> words;
    std::vector<std::uint8_t> images;
    for (int p = m - 1; p <= n - 1; ++p) {
        words.push_back(Rule(p));
        images.push_back(static_cast<std::uint8_t>(p / 3));
    }
    if (images.size() == 2) {
        std::swap(images[0], images[1]);
    }
    const std::uint8_t last = static_cast<std::uint8_t>(n - m);
    return Join({{"CmdDisplayMode [01]", "CmdPatternSource [03]", "CmdLutControl [" + Bytes({last, 1, 0, last}) + "]",
                  "CmdLongAxisFlip [00]", "CmdShortAxisFlip [01]", Timing(1000000U / static_cast<unsigned>(f)),
                  "CmdTriggerMode [01]"},
                 Upload(Words(words), Bytes(images)),
                 kStartTail});
}

std::vector<std::string> OnePicture(int f, std::uint32_t word, std::uint8_t image)
{
    return Join({{"CmdPatternSource [03]", "CmdLutControl [00 01 00 00]", "CmdLongAxisFlip [00]",
                  "CmdShortAxisFlip [01]", Timing(1000000U / static_cast<unsigned>(f)), "CmdTriggerMode [01]"},
                 Upload(Words({word}), Bytes({image})),
                 kStartTail});
}

const std::vector<std::string> kCross = Join({{"CmdPatternSource [03]", "CmdLutControl [00 01 00 00]",
                                               "CmdExposurePeriod [8D 20 00 00 8D 20 00 00]", "CmdTriggerMode [01]"},
                                              Upload("04 78 06", "04"),
                                              {"CmdLedEnable [07]", "CmdPatternStartStop [02]"}});

class Presets : public FastPresetTest {
protected:
    // Runs the preset and checks the run against the expected list: every
    // packet, consecutive sequence numbers, and the pause after the first start.
    static void ExpectRun(const std::function<void()>& preset, const std::vector<std::string>& expected)
    {
        Connect();
        const std::uint8_t first = sequenceNumber;
        preset();
        EXPECT_THAT(Sent(), ElementsAreArray(expected));
        std::uint8_t sequence = first;
        for (const sim::Packet& packet : sim::Packets()) {
            EXPECT_EQ(packet.sequence, packet.flags == 0xC0 ? 0 : sequence++) << sim::Describe(packet);
            const int reports = packet.length <= 60 ? 1 : 1 + (packet.length - 60 + 63) / 64;
            EXPECT_EQ(packet.reports, reports) << sim::Describe(packet);
        }
        const bool startTail = expected.size() > kStartTail.size() &&
                               std::equal(kStartTail.rbegin(), kStartTail.rend(), expected.rbegin());
        if (startTail) {
            EXPECT_THAT(pauses, ::testing::ElementsAre(expected.size() - 7));
        } else {
            EXPECT_TRUE(pauses.empty());
        }
    }
};

TEST_F(Presets, FullFringesAtEachFrequency)
{
    for (int f : {1, 7, 10, 120}) {
        SCOPED_TRACE(f);
        sim::ClearRecords();
        pauses.clear();
        ExpectRun([f] { ProjectFullFringes(f); }, FullFringes(f));
    }
}

TEST_F(Presets, FrequencyGivesExposureAndPeriodByIntegerDivision)
{
    EXPECT_EQ(Timing(1000000 / 1), "CmdExposurePeriod [40 42 0F 00 40 42 0F 00]");
    EXPECT_EQ(Timing(1000000 / 7), "CmdExposurePeriod [09 2E 02 00 09 2E 02 00]");  // 142857
    EXPECT_EQ(Timing(1000000 / 120), "CmdExposurePeriod [8D 20 00 00 8D 20 00 00]");
}

TEST_F(Presets, RangeCases)
{
    const struct {
        int f, m, n;
    } cases[] = {{10, 10, 20}, {10, 5, 5}, {7, 5, 6}, {120, 1, 31}, {1, 31, 31}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.m << ".." << c.n);
        sim::ClearRecords();
        pauses.clear();
        ExpectRun([c] { ProjectRange(c.f, c.m, c.n); }, Range(c.f, c.m, c.n));
    }
    // The worked case, spelled out.
    sim::ClearRecords();
    ProjectRange(10, 10, 20);
    EXPECT_EQ(Sent()[2], "CmdLutControl [0A 01 00 0A]");
    EXPECT_EQ(Sent()[13], "CmdLutData [03 03 03 04 04 04 05 05 05 06 06]");
}

TEST_F(Presets, OnePictureFollowsThePatternRule)
{
    const struct {
        int picture;
        std::uint32_t word;
        std::uint8_t image;
    } cases[] = {{1, 0x67800, 0}, {2, 0x27804, 0}, {12, 0x27808, 3}, {31, 0x67800, 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.picture);
        sim::ClearRecords();
        pauses.clear();
        ExpectRun([c] { ProjectOnePicture(10, c.picture); }, OnePicture(10, c.word, c.image));
    }
}

TEST_F(Presets, Cross) { ExpectRun(ProjectCross, kCross); }

TEST_F(Presets, StaleEntriesBeyondTheCountAreNeverSent)
{
    Connect();
    ProjectFullFringes(10);
    sim::ClearRecords();
    ProjectOnePicture(10, 2);
    EXPECT_EQ(Sent()[8], "CmdLutData [04 78 02]");
    EXPECT_EQ(PatternLut.entries[1], 0x24804U);  // still there, not sent
}

TEST_F(Presets, OutOfRangeInputsSendNothing)
{
    Connect();
    const std::uint8_t before = sequenceNumber;
    ProjectFullFringes(0);
    ProjectFullFringes(121);
    ProjectRange(10, 20, 10);
    ProjectRange(10, 0, 10);
    ProjectRange(10, 10, 32);
    ProjectOnePicture(10, 0);
    ProjectOnePicture(10, 32);
    ProjectOnePicture(-5, 1);
    EXPECT_TRUE(sim::Calls().empty());
    EXPECT_TRUE(pauses.empty());
    EXPECT_EQ(sequenceNumber, before);
}

TEST_F(Presets, WithNoDeviceThereIsNoTrafficButThePauseIsTaken)
{
    ProjectFullFringes(10);
    ProjectRange(10, 1, 3);
    ProjectOnePicture(10, 1);
    ProjectCross();
    EXPECT_TRUE(sim::Calls().empty());
    EXPECT_EQ(pauses.size(), 3U);
}

TEST_F(Presets, EveryAcknowledgementRefusedStillRunsTheListButThePatternTableStopsAtItsOpen)
{
    Connect();
    sim::SetAckMode(sim::AckMode::ErrorFlag);
    ProjectFullFringes(10);
    std::vector<std::string> expected = FullFringes(10);
    // The pattern table's open fails: no offset, data or close follow it;
    // the validate write fails: no status read.
    expected.erase(expected.begin() + 8, expected.begin() + 11);
    expected.erase(expected.begin() + 13);
    EXPECT_THAT(Sent(), ElementsAreArray(expected));
    EXPECT_EQ(pauses.size(), 1U);
}

TEST_F(Presets, LinkFailureMidwayLeavesTheRestFailingAtOnce)
{
    Connect();
    sim::FailWriteAt(5);
    ProjectCross();
    EXPECT_EQ(sim::Packets().size(), 4U);
    EXPECT_EQ(sim::CallCount("hid_close"), 1);
    EXPECT_EQ(sim::CallCount("hid_write"), 5);
}

TEST(PresetPause, TheRealPauseLastsASecond)
{
    ResetLinkState();
    const auto start = std::chrono::steady_clock::now();
    ProjectOnePicture(10, 1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

}  // namespace
