// The command set on the wire: every row of the table and every operation.
#include "sim_fixture.h"

using namespace lumora;

namespace {

struct RowCase {
    CommandId id;
    std::uint16_t word;
    std::uint16_t payloadBytes;
};

// The command words and payload sizes the controller expects, written out
// independently of the table under test.
const RowCase kRows[] = {
    {CmdInputSource, 0x1A00, 1},    {CmdPixelFormat, 0x1A02, 1},      {CmdPortClock, 0x1A03, 1},
    {CmdFpdMode, 0x1A04, 1},        {CmdLongAxisFlip, 0x1008, 1},     {CmdShortAxisFlip, 0x1009, 1},
    {CmdLedPwmPolarity, 0x1A05, 1}, {CmdLedEnable, 0x1A07, 1},        {CmdLedCurrent, 0x0B01, 3},
    {CmdValidate, 0x1A1A, 1},       {CmdDisplayMode, 0x1A1B, 1},      {CmdTrigOut1, 0x1A1D, 3},
    {CmdTrigOut2, 0x1A1E, 2},       {CmdRedDelay, 0x1A1F, 2},         {CmdGreenDelay, 0x1A20, 2},
    {CmdBlueDelay, 0x1A21, 2},      {CmdPatternSource, 0x1A22, 1},    {CmdTriggerMode, 0x1A23, 1},
    {CmdPatternStartStop, 0x1A24, 1}, {CmdExposurePeriod, 0x1A29, 8}, {CmdLutControl, 0x1A31, 4},
    {CmdLutOffset, 0x1A32, 1},      {CmdLutAccess, 0x1A33, 1},        {CmdLutData, 0x1A34, 0},
    {CmdTrigIn1Delay, 0x1A35, 4},   {CmdImageLoad, 0x1A39, 1},
};

using Commands = SimTest;

TEST_F(Commands, EveryRowGoesOnTheWireWithItsWordAndLength)
{
    static_assert(std::size(kRows) == CommandCount);
    Connect();
    for (const RowCase& row : kRows) {
        sim::ClearRecords();
        const std::uint8_t payload[8] = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8};
        const int result = SendFixedCommand(row.id, std::span(payload, row.payloadBytes));
        ASSERT_EQ(sim::WrittenReports().size(), 1U) << CommandName(row.word);
        const sim::Report& report = sim::WrittenReports()[0];
        const std::vector<std::uint8_t> expected = [&] {
            std::vector<std::uint8_t> bytes = {0x00, 0x40, report[2], static_cast<std::uint8_t>(row.payloadBytes + 2), 0x00,
                                               static_cast<std::uint8_t>(row.word & 0xFF),
                                               static_cast<std::uint8_t>(row.word >> 8)};
            bytes.insert(bytes.end(), payload, payload + row.payloadBytes);
            return bytes;
        }();
        EXPECT_EQ(sim::Hex(report.data(), expected.size()), sim::Hex(expected.data(), expected.size()))
            << CommandName(row.word);
        EXPECT_EQ(result, 4 + 2 + row.payloadBytes);
    }
}

struct OperationCase {
    const char* name;
    int (*send)();
    const char* wire;  // report bytes 3 onward (after flags and sequence), up to the packet's end
};

const OperationCase kOperations[] = {
    {"SetLedCurrents", [] { return SetLedCurrents(); }, "05 00 01 0B 78 78 78"},
    {"LedCurrentsGiven", [] { return SetLedCurrents(0, 128, 255); }, "05 00 01 0B 00 80 FF"},
    {"FullFringeShape", [] { return ConfigureSequence(31, 31, 11); }, "06 00 31 1A 1E 01 1E 0A"},
    {"OnePatternShape", [] { return ConfigureSequence(1, 1, 1); }, "06 00 31 1A 00 01 00 00"},
    {"ZeroCountWraps", [] { return ConfigureSequence(0, 1, 0); }, "06 00 31 1A FF 01 00 FF"},
    {"CrossTiming", [] { return SetExposureTiming(8333, 8333); }, "0A 00 29 1A 8D 20 00 00 8D 20 00 00"},
    {"TenHertzTiming", [] { return SetExposureTiming(100000, 100000); }, "0A 00 29 1A A0 86 01 00 A0 86 01 00"},
    {"ExposureBeforePeriod", [] { return SetExposureTiming(1, 0x01020304); }, "0A 00 29 1A 01 00 00 00 04 03 02 01"},
    {"Pause", [] { return PauseSequence(); }, "03 00 24 1A 01"},
    {"Stop", [] { return StopSequence(); }, "03 00 24 1A 00"},
};

TEST_F(Commands, OperationsFillTheirPayloads)
{
    Connect();
    for (const OperationCase& op : kOperations) {
        sim::ClearRecords();
        const std::uint8_t sequence = sequenceNumber;
        EXPECT_GT(op.send(), 0) << op.name;
        ASSERT_EQ(sim::WrittenReports().size(), 1U) << op.name;
        const sim::Report& report = sim::WrittenReports()[0];
        EXPECT_EQ(report[1], 0x40) << op.name;
        EXPECT_EQ(report[2], sequence) << op.name;
        const std::size_t length = report[3] + 2U;  // length field bytes + the body
        EXPECT_EQ(sim::Hex(report.data() + 3, length), op.wire) << op.name;
    }
}

TEST_F(Commands, PauseAndStopWithNoDeviceOnlyAdvanceTheSequenceNumber)
{
    const std::uint8_t before = sequenceNumber;
    EXPECT_EQ(PauseSequence(), -1);
    EXPECT_EQ(StopSequence(), -1);
    EXPECT_EQ(sequenceNumber, static_cast<std::uint8_t>(before + 2));
    EXPECT_TRUE(sim::Calls().empty());
}

TEST_F(Commands, NamesDecodeCommandWords)
{
    EXPECT_STREQ(CommandName(0x1A24), "CmdPatternStartStop");
    EXPECT_STREQ(CommandName(0x0B01), "CmdLedCurrent");
    EXPECT_EQ(CommandName(0x1A01), nullptr);
}

}  // namespace
