// The controller link: the one open HID device, the two fixed report buffers
// and the sequence counter, and the framing of a command into 65-byte reports.
//
// This is a set of free operations over process-wide state. One thread at a
// time runs them; nothing here locks and nothing is allocated per command.
// Only the counters and the activity below may be read from another thread
// while that thread works, so that a window can show progress.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

struct hid_device_;
typedef struct hid_device_ hid_device;

namespace lumora {

// Report geometry. Every write is one 65-byte report: the report ID 0, then 64
// bytes. A first report carries the 4 header bytes and up to 60 body bytes; a
// continuation report carries 64 body bytes and repeats no header.
inline constexpr std::size_t kReportSize = 65;
inline constexpr std::size_t kHeaderSize = 4;
inline constexpr std::size_t kFirstReportBody = 60;
inline constexpr std::size_t kContinuationBody = 64;
inline constexpr std::size_t kMaxBody = 512;      // command word + payload
inline constexpr std::size_t kMaxPayload = 510;
inline constexpr int kReadTimeoutMs = 2000;

// The flags byte.
inline constexpr std::uint8_t kFlagReadRequest = 0x80;
inline constexpr std::uint8_t kFlagReplyWanted = 0x40;
inline constexpr std::uint8_t kFlagError = 0x20;
inline constexpr std::uint8_t kWriteFlags = kFlagReplyWanted;                     // 0x40
inline constexpr std::uint8_t kReadRequestFlags = kFlagReadRequest | kFlagReplyWanted;  // 0xC0

// Output report layout, first report of a packet:
//   @0 report ID (0)  @1 flags  @2 sequence  @3-4 length (LE)
//   @5 code byte  @6 group byte  @7-64 payload bytes 0-57
// Continuation report: @0 report ID (0)  @1-64 the next 64 body bytes.
inline constexpr std::size_t kReportIdAt = 0;
inline constexpr std::size_t kFlagsAt = 1;
inline constexpr std::size_t kSequenceAt = 2;
inline constexpr std::size_t kLengthAt = 3;
inline constexpr std::size_t kFirstBodyAt = 5;
inline constexpr std::size_t kContinuationBodyAt = 1;

// Input report layout (no report ID byte in front):
//   @0 flags (0x20 = error)  @1 sequence  @2-3 reply length (LE)  @4 reply data
inline constexpr std::size_t kReplyFlagsAt = 0;
inline constexpr std::size_t kReplySequenceAt = 1;
inline constexpr std::size_t kReplyLengthAt = 2;
inline constexpr std::size_t kReplyDataAt = 4;

// One row of the command table: the command word is group * 256 + code.
struct CommandEntry {
    std::uint8_t group;
    std::uint8_t code;
    std::uint16_t payloadLength;
};

// One framed controller command. The body is the command word followed by the
// payload; only the first 4 + length bytes carry meaning.
//   @0 flags  @1 sequence  @2-3 length (body bytes)  @4-5 command word  @6 payload
struct CommandPacket {
    std::uint8_t flags;
    std::uint8_t sequence;
    std::uint16_t length;
    std::uint16_t commandWord;
    std::uint8_t payload[kMaxPayload];
};
static_assert(sizeof(CommandPacket) == 516);

// The link state, all zero at start-up. A device is opened by the connection
// code; a link failure closes it and clears both fields. deviceLock is the
// handle that holds the module's exclusive lock while the device is open
// (-1 when none; link/lock_handle.h); closing the device releases it.
extern hid_device* deviceHandle;
extern int deviceConnected;
extern int deviceLock;
extern std::uint8_t sequenceNumber;
extern std::uint8_t OutputReport[kReportSize];
extern std::uint8_t InputReport[kReportSize];

// What the link has seen since the counters were last cleared. Nothing reads
// these to decide anything; they let a front end tell the operator what failed.
struct LinkCounters {
    std::atomic<unsigned> commandsSent;     // SendCommand results >= 0
    std::atomic<unsigned> commandsFailed;   // SendCommand results of -1
    std::atomic<unsigned> noDevice;         // operations attempted with no device open
    std::atomic<unsigned> refusals;         // acknowledgements carrying the error flag
    std::atomic<unsigned> missingAcks;      // acknowledgements that did not come in time
    std::atomic<unsigned> linkFailures;     // failed hid_write / hid_read_timeout calls
};
extern LinkCounters linkCounters;
void ClearLinkCounters();

// What the link is doing right now, for a window that shows progress while
// an action runs on another thread: the command word of the packet being
// sent or polled (0 before the first), and the reads begun and ended (one is
// under way while they differ).
struct LinkActivity {
    std::atomic<std::uint16_t> commandWord;
    std::atomic<unsigned> readsStarted;
    std::atomic<unsigned> readsFinished;
};
extern LinkActivity linkActivity;

// How the packet last sent by SendCommand, or the request last made by
// Transact, went: what a run record keeps of each of its packets.
enum class PacketResult : std::uint8_t {
    NoDevice,        // nothing was written: no device was open
    NotSent,         // nothing was written: the step it belongs to stopped before it
    Acknowledged,    // the acknowledgement (or the reply) came, without the error flag
    Refused,         // the acknowledgement (or the reply) carried the error flag
    Unacknowledged,  // no acknowledgement, or no valid reply, within 2000 ms
    LinkFailed,      // a write or the read failed, and the device was closed
    Cancelled,       // the action was cancelled: nothing was written, or the wait for the reply was cut short
};

// Whether the controller may have acted on a packet with this result.
constexpr bool WentOut(PacketResult result)
{
    return result == PacketResult::Acknowledged || result == PacketResult::Unacknowledged;
}

struct PacketReport {
    PacketResult result;
    std::uint8_t reportsWritten;
    std::uint8_t reportsRead;    // every report read while it waited, its reply and stale ones
    std::uint8_t staleReports;   // reports that were not its reply: read away before it was
                                 // written (at the open, for the first packet after it), or
                                 // passed over while it waited
};
extern PacketReport lastPacket;

// Cancelling the action on the link, from any thread or a signal handler
// (one lock-free atomic store). From then on nothing more is written and a
// wait for a reply ends within one read slice; the request stands until
// ClearCancel. Reads are waited for in slices of kReadSliceMs, which changes
// no byte on the wire.
inline constexpr int kReadSliceMs = 50;
void RequestCancel();
void ClearCancel();
bool CancelRequested();

// How a read came to be made, for a trace that tells reads apart.
enum class ReadKind : std::uint8_t {
    Awaited,   // ReadReport: waits up to 2000 ms for the controller's report
    ReadAway,  // takes a report already waiting, without waiting, before a write or at an open
};

// An observer of the wire, for a trace: told of each report right after the
// HID library took it (written, with hid_write's result) or gave it (read,
// with hid_read_timeout's result), before the link acts on a failure. The
// report is the link's own buffer, to be read during the call only.
struct ReportTrace {
    void (*written)(const hid_device* device, const std::uint8_t* report, std::size_t length, int result);
    void (*read)(ReadKind kind, const std::uint8_t* report, int result);
};

// Tells trace of every report from now on (it must stay valid until
// replaced); nullptr, the start-up state, stops. Without one the link calls
// nothing.
void SetReportTrace(const ReportTrace* trace);

// How the open connection tells a packet's reply from a stale report.
// Nothing in the protocol promises that a reply carries its packet's
// sequence byte, so the link learns it from the first reply to a packet
// whose sequence byte is not 0 (a controller that does not echo it most
// likely leaves 0 there). Every open and close starts again from Unknown.
enum class ReplyMatching : std::uint8_t {
    Unknown,  // not learnt yet: any report is the reply
    Echo,     // replies carry their packet's sequence byte; a report with another is stale
    Any,      // the first reply carried another: any report is the reply
};
extern ReplyMatching replyMatching;

// At most this many reports are read away before one write: as many as the
// kernel keeps waiting for one reader. A module that never stops sending
// cannot hold the link there.
inline constexpr int kMaxStaleReports = 64;

// Whether a report read while the link waits for a reply (count bytes at
// report) is another packet's: with echo matching, one whose sequence byte is
// not the awaited packet's. Such a report is stale, as is every report read
// away. A trace of the reads asks this too.
bool IsOtherPacketsReport(const std::uint8_t* report, std::size_t count);

// Closes the open device, if any, and releases its lock; both link-state
// fields are cleared and the reply matching starts again from Unknown. The
// one way a device is closed.
void CloseDevice();

// For the connection code, right after it opened the device: the reply
// matching starts again from Unknown and the reports already waiting are read
// away; they count as stale for the next packet. Returns the count read away,
// or -1 on a link failure (the device is then closed, and the next packet's
// result is LinkFailed) or with no device.
int BeginConnection();

// Fills the packet header: flags 0x40, the next sequence number (the counter
// advances even when the packet never reaches the controller), the length
// (payload + 2) and the command word. The caller fills the payload.
void PrepareWrite(CommandPacket& packet, const CommandEntry& entry);

// Reads away the reports already waiting, then frames the packet into
// reports, writes them and reads the acknowledgement after the last one.
// Returns the bytes carried (4 + L for one report, 4 + 60 + 64 * k with k
// continuation reports) or -1: no device, a link failure, the controller's
// error flag, or a length above 512 (nothing sent).
int SendCommand(const CommandPacket& packet);

// Writes the OutputReport; with awaitAck, reads the acknowledgement: the
// reply to the packet SendCommand began last (ReadReply). Returns the bytes
// written, -2 when the acknowledgement carries the error flag, -1 on a link
// failure or with no device. A missing or failed acknowledgement read leaves
// the write successful (a failed read still closes the link).
int WriteReport(bool awaitAck);

// Clears the InputReport and reads one report, waiting up to milliseconds in
// slices of kReadSliceMs (a cancel ends the wait). Returns the bytes read (0
// on time-out), -1 on a link failure or with no device.
int ReadReport(int milliseconds = kReadTimeoutMs);

// Reads the reply to the packet being sent, within 2000 ms of waiting: with
// echo matching, reports whose sequence byte is another packet's are counted
// as stale and the wait goes on for the rest of the time (the read slices it
// took counted in full, so that even a flood of them ends); otherwise the first
// report is the reply. The first reply to a packet whose sequence byte is not
// 0 sets the matching of the connection. Returns as ReadReport; on a time-out
// the InputReport is clear.
int ReadReply();

// Writes the OutputReport as it stands and reads the reply (ReadReply, the
// awaited sequence byte taken from the report), after reading away what is
// waiting. Returns the bytes read, -2 when no valid reply came (none, length
// 0, the error flag, or too short to hold a data byte), -1 on a link failure
// or with no device.
int Transact();

}  // namespace lumora
