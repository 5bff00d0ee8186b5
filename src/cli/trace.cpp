#include "cli/trace.h"

#include "link/commands.h"
#include "link/link.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace lumora::cli {

namespace {

std::ostream* traceOut = nullptr;

// The packet being written: the device it goes to and the body bytes still
// to come in continuation reports.
const hid_device* packetDevice = nullptr;
std::size_t bodyToCome = 0;

// Hex of bytes [0, shown), then the rest of count summarised when it is all zeros.
std::string Hex(const unsigned char* data, std::size_t count, std::size_t shown)
{
    shown = std::min(shown, count);
    const bool zeroTail = std::all_of(data + shown, data + count, [](unsigned char b) { return b == 0; });
    if (!zeroTail) {
        shown = count;
    }
    std::string text = HexBytes(data, shown);
    if (shown < count) {
        text += " +" + std::to_string(count - shown) + " zero bytes";
    }
    return text;
}

std::string Payload(const unsigned char* data, std::size_t count)
{
    return "[" + Hex(data, count, count) + "]";
}

void TraceWrite(const hid_device* dev, const unsigned char* data, std::size_t length, int result)
{
    if (length < kReportSize) {
        *traceOut << "lumoractl: trace: write of " << length << " bytes -> " << result << "\n";
        return;
    }
    std::string meaning;
    std::size_t shown = kReportSize;
    if (dev != packetDevice) {
        bodyToCome = 0;
    }
    if (bodyToCome == 0) {
        // A first report: header, then up to 60 body bytes.
        const std::size_t bodyLength = data[kLengthAt] | data[kLengthAt + 1] << 8;
        const std::size_t here = std::min(bodyLength, kFirstReportBody);
        shown = kFirstBodyAt + here;
        const auto word = static_cast<std::uint16_t>(here >= 2 ? data[kFirstBodyAt] | data[kFirstBodyAt + 1] << 8 : 0);
        const char* name = CommandName(word);
        char fallback[16];
        std::snprintf(fallback, sizeof fallback, "0x%04X", word);
        meaning = std::string((data[kFlagsAt] & kFlagReadRequest) != 0 ? "read request " : "") +
                  (name != nullptr ? name : fallback) + " seq " + std::to_string(data[kSequenceAt]) + " " +
                  Payload(data + kFirstBodyAt + 2, here >= 2 ? here - 2 : 0);
        bodyToCome = bodyLength - here;
        if (bodyToCome > 0) {
            meaning += " continued in " + std::to_string((bodyToCome + kContinuationBody - 1) / kContinuationBody) +
                       " more report" + (bodyToCome > kContinuationBody ? "s" : "");
        }
    } else {
        const std::size_t here = std::min(bodyToCome, kContinuationBody);
        shown = kContinuationBodyAt + here;
        meaning = "continuation " + Payload(data + kContinuationBodyAt, here);
        bodyToCome -= here;
    }
    packetDevice = dev;
    if (result < 0) {
        bodyToCome = 0;  // the rest of this packet will not follow
        meaning += " -> write failed";
    }
    *traceOut << "lumoractl: trace: write " << Hex(data, kReportSize, shown) << "  " << meaning << "\n";
}

// A read away that finds nothing shows no line; a report read away, or
// another packet's, is marked stale.
void TraceRead(ReadKind kind, const unsigned char* data, int result)
{
    if (kind == ReadKind::ReadAway && result == 0) {
        return;  // nothing more was waiting
    }
    if (result < 0) {
        *traceOut << "lumoractl: trace: read failed\n";
        return;
    }
    if (result == 0) {
        *traceOut << "lumoractl: trace: read timed out, no reply\n";
        return;
    }
    const auto count = static_cast<std::size_t>(result);
    const std::size_t replyLength = count > kReplyLengthAt + 1 ? (data[kReplyLengthAt] | data[kReplyLengthAt + 1] << 8) : 0;
    std::string meaning = (data[kReplyFlagsAt] & kFlagError) != 0 ? "error flag" : "ok";
    if (replyLength > 0 && count <= kReplyDataAt) {
        meaning += ", too short to hold its data";  // no valid reply to a status request
    } else if (replyLength > 0) {
        meaning += " data " + Payload(data + kReplyDataAt, std::min(replyLength, count - kReplyDataAt));
    }
    if (kind == ReadKind::ReadAway) {
        meaning += "; stale, read away";
    } else if (IsOtherPacketsReport(data, count)) {
        meaning += count > kReplySequenceAt ? "; stale, another packet's (seq " + std::to_string(data[kReplySequenceAt]) + ")"
                                            : std::string("; stale, no sequence byte");
    }
    *traceOut << "lumoractl: trace: read  " << Hex(data, count, kReplyDataAt + replyLength) << "  " << meaning << "\n";
}

void EndTraceOnFailure()
{
    traceOut->flush();
    if (!*traceOut) {
        SetTrace(nullptr);
    }
}

// A trace that can no longer be written (a closed pipe, a full disk) ends
// the tracing, never the action.
void Written(const hid_device* dev, const std::uint8_t* data, std::size_t length, int result)
{
    TraceWrite(dev, data, length, result);
    EndTraceOnFailure();
}

void Read(ReadKind kind, const std::uint8_t* data, int result)
{
    TraceRead(kind, data, result);
    EndTraceOnFailure();
}

constexpr ReportTrace kTrace = {Written, Read};

}  // namespace

void SetTrace(std::ostream* out)
{
    traceOut = out;
    packetDevice = nullptr;
    bodyToCome = 0;
    SetReportTrace(out != nullptr ? &kTrace : nullptr);
}

}  // namespace lumora::cli
