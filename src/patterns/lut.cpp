#include "patterns/lut.h"

#include "link/commands.h"
#include "link/link.h"

#include <cstring>

namespace lumora {

PatternLutTable PatternLut = {};
LutValidation lastLutValidation = {};

namespace {

constexpr std::uint8_t kCloseLut = 0;
constexpr std::uint8_t kTableStart = 0;  // every upload writes from the start of the table
constexpr std::uint8_t kStartCheck = 0;  // CmdValidate's payload as a write
constexpr std::uint8_t kBusy = 0x80;  // status bit: the check is still running
constexpr std::size_t kBytesPerPatternEntry = 3;

std::chrono::milliseconds statusPollBound = kStatusPollBound;

// The pattern LUT data: 3 bytes per word, least significant first. Returns
// the byte count.
std::size_t PatternLutBytes(const std::uint32_t* words, std::uint32_t count, std::uint8_t* bytes)
{
    for (std::uint32_t i = 0; i < count; ++i) {
        bytes[kBytesPerPatternEntry * i] = static_cast<std::uint8_t>(words[i]);
        bytes[kBytesPerPatternEntry * i + 1] = static_cast<std::uint8_t>(words[i] >> 8);
        bytes[kBytesPerPatternEntry * i + 2] = static_cast<std::uint8_t>(words[i] >> 16);
    }
    return kBytesPerPatternEntry * count;
}

// CmdLutData carrying count bytes; its length comes from the upload, not the table.
int SendLutData(const std::uint8_t* bytes, std::size_t count)
{
    CommandPacket packet;
    PrepareWrite(packet, CommandTable[CmdLutData]);
    packet.length = static_cast<std::uint16_t>(count + 2);
    std::memcpy(packet.payload, bytes, count);
    return SendCommand(packet);
}

// The status read request, straight into the OutputReport: read request with
// reply wanted, sequence 0, length 2, command word 0x1A1A.
//   00 C0 00 02 00 1A 1A, then zeros
void WriteStatusRequest()
{
    const CommandEntry& validate = CommandTable[CmdValidate];
    std::memset(OutputReport, 0, kReportSize);
    OutputReport[kFlagsAt] = kReadRequestFlags;
    OutputReport[kSequenceAt] = 0;
    OutputReport[kLengthAt] = 2;
    OutputReport[kLengthAt + 1] = 0;
    OutputReport[kFirstBodyAt] = validate.code;
    OutputReport[kFirstBodyAt + 1] = validate.group;
}

}  // namespace

int OpenLutAccess(std::uint8_t selector) { return SendByteCommand(CmdLutAccess, selector); }

int CloseLutAccess() { return SendByteCommand(CmdLutAccess, kCloseLut); }

int SetLutOffset(std::uint8_t offset) { return SendByteCommand(CmdLutOffset, offset); }

int UploadPatternLut()
{
    const std::uint32_t count = PatternLut.count;
    if (count > kPatternLutCapacity) {
        return -1;
    }
    if (OpenLutAccess(kOpenPatternLut) < 0) {
        return -1;
    }
    SetLutOffset(kTableStart);
    std::uint8_t bytes[kPatternLutCapacity * kBytesPerPatternEntry];
    const int sent = SendLutData(bytes, PatternLutBytes(PatternLut.entries, count, bytes));
    CloseLutAccess();
    return sent < 0 ? -1 : 0;
}

int UploadImageLut(int count, const std::uint8_t* indices)
{
    if (count == 2) {
        // The presets' controller takes a two-entry image table in exchanged order.
        const std::uint8_t exchanged[] = {indices[1], indices[0]};
        return UploadImageLutInOrder(count, exchanged);
    }
    return UploadImageLutInOrder(count, indices);
}

int UploadImageLutInOrder(int count, const std::uint8_t* indices)
{
    if (count < 1 || count > kImageLutCapacity) {
        return -1;
    }
    OpenLutAccess(kOpenImageLut);  // a failed open does not stop the run
    SetLutOffset(kTableStart);
    const int sent = SendLutData(indices, static_cast<std::size_t>(count));
    CloseLutAccess();
    return sent;
}

void ListPatternLutUpload(const std::uint32_t* words, int count, std::vector<ListedPacket>& out)
{
    if (count < 0 || count > kPatternLutCapacity) {
        return;  // UploadPatternLut sends nothing
    }
    std::uint8_t bytes[kPatternLutCapacity * kBytesPerPatternEntry];
    const std::size_t size = PatternLutBytes(words, static_cast<std::uint32_t>(count), bytes);
    out.push_back({CmdLutAccess, false, {kOpenPatternLut}});
    out.push_back({CmdLutOffset, false, {kTableStart}});
    out.push_back({CmdLutData, false, {bytes, bytes + size}});
    out.push_back({CmdLutAccess, false, {kCloseLut}});
}

void ListImageLutUploadInOrder(const std::uint8_t* indices, int count, std::vector<ListedPacket>& out)
{
    if (count < 1 || count > kImageLutCapacity) {
        return;  // UploadImageLutInOrder sends nothing
    }
    out.push_back({CmdLutAccess, false, {kOpenImageLut}});
    out.push_back({CmdLutOffset, false, {kTableStart}});
    out.push_back({CmdLutData, false, {indices, indices + count}});
    out.push_back({CmdLutAccess, false, {kCloseLut}});
}

void ListLutValidation(std::vector<ListedPacket>& out)
{
    out.push_back({CmdValidate, false, {kStartCheck}});
    out.push_back({CmdValidate, true, {}});
}

void SetStatusPollBound(std::chrono::milliseconds bound) { statusPollBound = bound; }

std::chrono::milliseconds StatusPollBound() { return statusPollBound; }

void ClearLutValidation() { lastLutValidation = {}; }

int WaitLutValid(int& status)
{
    lastLutValidation = {true, -1, 0, false};
    if (SendByteCommand(CmdValidate, kStartCheck) < 0) {
        return -1;
    }
    WriteStatusRequest();
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        if (Transact() <= 0) {
            return -1;
        }
        const std::uint8_t reply = InputReport[kReplyDataAt];
        if ((reply & kBusy) == 0) {
            status = reply;
            lastLutValidation.result = 0;
            lastLutValidation.status = reply;
            return 0;
        }
        // A controller that stays busy must not hold the operator's action
        // forever; the same request goes out again until the bound passes.
        if (std::chrono::steady_clock::now() - start >= statusPollBound) {
            lastLutValidation.gaveUp = true;
            return -1;
        }
    }
}

}  // namespace lumora
