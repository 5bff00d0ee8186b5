// Framing, acknowledgement and link-failure handling, seen from the wire.
#include "sim_fixture.h"

#include <cstring>

using namespace lumora;
using ::testing::ElementsAre;

namespace {

// A CmdLutData packet with `payloadBytes` bytes 1, 2, 3, ... (wrapping at 256).
CommandPacket DataPacket(std::size_t payloadBytes)
{
    CommandPacket packet{};
    packet.flags = kWriteFlags;
    packet.sequence = 0x33;
    packet.length = static_cast<std::uint16_t>(payloadBytes + 2);
    packet.commandWord = 0x1A34;
    for (std::size_t i = 0; i < payloadBytes && i < kMaxPayload; ++i) {
        packet.payload[i] = static_cast<std::uint8_t>(i + 1);
    }
    return packet;
}

struct FramingCase {
    std::size_t length;  // L, body bytes
    std::size_t reports;
    int result;
};

class Framing : public SimTest, public ::testing::WithParamInterface<FramingCase> {};

TEST_P(Framing, SplitsTheBodyAcrossReportsAndWaitsForOneAcknowledgement)
{
    const FramingCase& c = GetParam();
    Connect();
    std::memset(OutputReport, 0xEE, sizeof OutputReport);  // stale bytes from an earlier packet
    const CommandPacket packet = DataPacket(c.length - 2);

    EXPECT_EQ(SendCommand(packet), c.result);

    // What waits is read away first (one read finds nothing); every report is
    // written back to back; the acknowledgement is read once, after the last.
    std::vector<std::string> expectedCalls(c.reports, "hid_write");
    expectedCalls.insert(expectedCalls.begin(), "hid_read_timeout");
    expectedCalls.push_back("hid_read_timeout");
    EXPECT_EQ(CallNames(), expectedCalls);

    const auto& reports = sim::WrittenReports();
    ASSERT_EQ(reports.size(), c.reports);
    EXPECT_THAT(std::vector<std::uint8_t>(reports[0].begin(), reports[0].begin() + 7),
                ElementsAre(0x00, 0x40, 0x33, c.length & 0xFF, c.length >> 8, 0x34, 0x1A));

    // Joined back together, the reports carry exactly the body, then zeros.
    std::vector<std::uint8_t> body(reports[0].begin() + 5, reports[0].end());
    for (std::size_t r = 1; r < reports.size(); ++r) {
        EXPECT_EQ(reports[r][0], 0x00) << "report " << r;
        body.insert(body.end(), reports[r].begin() + 1, reports[r].end());
    }
    for (std::size_t i = 0; i < body.size(); ++i) {
        const std::uint8_t expected = i == 0 ? 0x34 : i == 1 ? 0x1A : i < c.length ? static_cast<std::uint8_t>(i - 1) : 0;
        ASSERT_EQ(body[i], expected) << "body byte " << i << ": " << sim::Hex(body.data(), body.size());
    }
    ASSERT_EQ(sim::Packets().size(), 1U);
    EXPECT_EQ(sim::Packets()[0].reports, static_cast<int>(c.reports));
}

INSTANTIATE_TEST_SUITE_P(ReportBoundaries, Framing,
                         ::testing::Values(FramingCase{2, 1, 6}, FramingCase{60, 1, 64}, FramingCase{61, 2, 128},
                                           FramingCase{124, 2, 128}, FramingCase{125, 3, 192},
                                           FramingCase{386, 7, 448}, FramingCase{512, 9, 576}));

// What a ReportTrace was told, one entry a report.
struct Observed {
    std::string function;
    int result;
    bool linkOpen;         // the device was still open when told
    std::uint8_t firstByte;  // the report's flags (written) or reply flags (read)
    ReadKind kind = ReadKind::Awaited;  // of a read
};
std::vector<Observed> observed;

const ReportTrace kObserver = {
    [](const hid_device*, const std::uint8_t* report, std::size_t length, int result) {
        EXPECT_EQ(length, kReportSize);
        observed.push_back({"hid_write", result, deviceHandle != nullptr, report[kFlagsAt]});
    },
    [](ReadKind kind, const std::uint8_t* report, int result) {
        observed.push_back({"hid_read_timeout", result, deviceHandle != nullptr, report[kReplyFlagsAt], kind});
    },
};

struct ObserverCase {
    const char* name;
    int failWrite;
    int failRead;
    sim::AckMode ack;
};

class ReportObserver : public SimTest, public ::testing::WithParamInterface<ObserverCase> {};

// The observer hears of every report the library took or gave, with its
// result, before a failure closes the link; unset, it hears nothing.
TEST_P(ReportObserver, IsToldOfEachReportAsTheLibraryReturned)
{
    const ObserverCase& c = GetParam();
    Connect();
    sim::FailWriteAt(c.failWrite);
    sim::FailReadAt(c.failRead);
    sim::SetAckMode(c.ack);
    observed.clear();
    SetReportTrace(&kObserver);
    SendCommand(DataPacket(200));
    SetReportTrace(nullptr);

    const std::vector<sim::Call>& calls = sim::Calls();
    std::vector<std::pair<std::string, int>> expected;
    for (const sim::Call& call : calls) {
        // A wait for a reply is read in slices; the observer hears of it once.
        const bool anotherSlice = call.function == "hid_read_timeout" && !expected.empty() &&
                                  expected.back() == std::pair<std::string, int>("hid_read_timeout", 0);
        if (anotherSlice) {
            expected.back().second = call.result;
        } else if (call.function == "hid_write" || call.function == "hid_read_timeout") {
            expected.emplace_back(call.function, call.result);
        }
    }
    std::vector<std::pair<std::string, int>> seen;
    for (const Observed& o : observed) {
        seen.emplace_back(o.function, o.result);
        EXPECT_TRUE(o.linkOpen) << o.function << " told after the link closed";
    }
    EXPECT_EQ(seen, expected);
    // First what waits is read away; then the reports go out, and every
    // read after them waits for the acknowledgement.
    ASSERT_FALSE(observed.empty());
    EXPECT_EQ(observed.front().kind, ReadKind::ReadAway);
    for (std::size_t i = 1; i < observed.size(); ++i) {
        EXPECT_EQ(observed[i].kind, ReadKind::Awaited) << i;
    }
    if (observed.size() > 1) {
        EXPECT_EQ(observed[1].firstByte, kWriteFlags);
    }

    observed.clear();
    ASSERT_TRUE(ConnectDevice());
    SendCommand(DataPacket(4));
    EXPECT_TRUE(observed.empty()) << "no observer, no call";
}

INSTANTIATE_TEST_SUITE_P(Cases, ReportObserver,
                         ::testing::Values(ObserverCase{"Clean", 0, 0, sim::AckMode::Ok},
                                           ObserverCase{"SecondWriteFails", 2, 0, sim::AckMode::Ok},
                                           ObserverCase{"ReadAwayFails", 0, 1, sim::AckMode::Ok},
                                           ObserverCase{"AcknowledgementReadFails", 0, 2, sim::AckMode::Ok},
                                           ObserverCase{"Refused", 0, 0, sim::AckMode::ErrorFlag},
                                           ObserverCase{"Silent", 0, 0, sim::AckMode::Silent}),
                         CaseName());

using Link = SimTest;

TEST_F(Link, RefusesAPacketLongerThanTheBodyAndSendsNothing)
{
    Connect();
    EXPECT_EQ(SendCommand(DataPacket(511)), -1);
    EXPECT_TRUE(sim::Calls().empty());
    EXPECT_EQ(deviceConnected, 1);
}

TEST_F(Link, SequenceNumberWrapsFrom255To0)
{
    sequenceNumber = 0;
    CommandPacket packet;
    for (int i = 0; i < 255; ++i) {
        PrepareWrite(packet, CommandTable[CmdPatternStartStop]);
    }
    PrepareWrite(packet, CommandTable[CmdPatternStartStop]);
    EXPECT_EQ(packet.sequence, 255);
    PrepareWrite(packet, CommandTable[CmdPatternStartStop]);
    EXPECT_EQ(packet.sequence, 0);
}

TEST_F(Link, WithNoDeviceEveryOperationFailsWithoutCallingHidapiButTheCounterAdvances)
{
    const std::uint8_t before = sequenceNumber;
    EXPECT_EQ(StopSequence(), -1);
    EXPECT_EQ(SendCommand(DataPacket(200)), -1);
    EXPECT_EQ(WriteReport(true), -1);
    EXPECT_EQ(ReadReport(), -1);
    EXPECT_EQ(Transact(), -1);
    EXPECT_EQ(sequenceNumber, static_cast<std::uint8_t>(before + 1));
    EXPECT_TRUE(sim::Calls().empty());
}

TEST_F(Link, MissingAcknowledgementStillSucceedsButTheErrorFlagFails)
{
    Connect();
    sim::SetAckMode(sim::AckMode::Silent);
    EXPECT_EQ(StopSequence(), 7);
    EXPECT_EQ(SendCommand(DataPacket(200)), 256);
    EXPECT_EQ(linkCounters.missingAcks, 2U);

    sim::SetAckMode(sim::AckMode::ErrorFlag);
    EXPECT_EQ(StopSequence(), -1);
    EXPECT_EQ(SendCommand(DataPacket(200)), -1);
    EXPECT_EQ(linkCounters.refusals, 2U);
    EXPECT_EQ(deviceConnected, 1);  // a refusal leaves the device open
}

struct FailureCase {
    const char* name;
    std::size_t payloadBytes;
    int failWrite;
    int failRead;
    int result;
    std::size_t reportsWritten;
};

class LinkFailure : public SimTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(LinkFailure, ClosesTheDeviceOnceAndLaterOperationsFailAtOnce)
{
    const FailureCase& c = GetParam();
    Connect();
    sim::FailWriteAt(c.failWrite);
    sim::FailReadAt(c.failRead);

    EXPECT_EQ(SendCommand(DataPacket(c.payloadBytes)), c.result);
    EXPECT_EQ(sim::WrittenReports().size(), c.reportsWritten);  // nothing after the failure
    EXPECT_EQ(sim::CallCount("hid_close"), 1);
    EXPECT_EQ(deviceConnected, 0);
    EXPECT_EQ(deviceHandle, nullptr);
    EXPECT_EQ(sim::OpenHandleCount(), 0);

    sim::ClearRecords();
    EXPECT_EQ(StopSequence(), -1);
    EXPECT_TRUE(sim::Calls().empty());

    EXPECT_TRUE(ConnectDevice());  // a reconnect works again
    EXPECT_EQ(StopSequence(), 7);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LinkFailure,
    ::testing::Values(FailureCase{"OneReportWrite", 1, 1, 0, -1, 0}, FailureCase{"FirstOfSeven", 384, 1, 0, -1, 0},
                      FailureCase{"MiddleOfSeven", 384, 4, 0, -1, 3}, FailureCase{"LastOfSeven", 384, 7, 0, -1, 6},
                      // A failed read before the first report writes nothing.
                      FailureCase{"ReadAwayBeforeOne", 1, 0, 1, -1, 0},
                      FailureCase{"ReadAwayBeforeSeven", 384, 0, 1, -1, 0},
                      // A failed acknowledgement read closes the link but the write itself counts.
                      FailureCase{"AckReadOfOne", 1, 0, 2, 7, 1}, FailureCase{"AckReadOfSeven", 384, 0, 2, 448, 7}),
    CaseName());

struct TransactCase {
    const char* name;
    sim::StatusReply reply;
    int result;
};

class TransactReply : public SimTest, public ::testing::WithParamInterface<TransactCase> {};

TEST_P(TransactReply, ResultFollowsTheReply)
{
    Connect();
    sim::SetStatusReply(GetParam().reply);
    const std::uint8_t request[] = {0x00, 0xC0, 0x00, 0x02, 0x00, 0x1A, 0x1A};
    std::memset(OutputReport, 0, sizeof OutputReport);
    std::memcpy(OutputReport, request, sizeof request);
    EXPECT_EQ(Transact(), GetParam().result);
    EXPECT_EQ(deviceConnected, 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, TransactReply,
                         ::testing::Values(TransactCase{"Normal", sim::StatusReply::Normal, 64},
                                           TransactCase{"EmptyLength", sim::StatusReply::Empty, -2},
                                           TransactCase{"ErrorFlag", sim::StatusReply::ErrorFlag, -2},
                                           TransactCase{"NoReply", sim::StatusReply::Silent, -2}),
                         CaseName());

// The kernel drops a report shorter than its descriptor declares, so the
// controller's own short reply never arrives; another stack may pass one on.
TEST_F(Link, TransactRefusesAReplyWithNoRoomForData)
{
    Connect();
    sim::SetReadScript([](std::uint8_t* data, std::size_t) {
        const std::uint8_t header[] = {0x00, 0x00, 0x02, 0x00};  // flags, sequence, length 2
        std::memcpy(data, header, sizeof header);
        return static_cast<int>(sizeof header);
    });
    EXPECT_EQ(Transact(), -2);
    EXPECT_EQ(deviceConnected, 1);
}

TEST_F(Link, TransactWithAFailedReadGivesMinusTwoAndClosesTheLink)
{
    Connect();
    sim::FailReadAt(2);  // the reply's; the first reads away what waits
    EXPECT_EQ(Transact(), -2);
    EXPECT_EQ(deviceConnected, 0);
    EXPECT_EQ(sim::CallCount("hid_close"), 1);
}

}  // namespace
