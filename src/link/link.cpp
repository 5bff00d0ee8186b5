#include "link/link.h"

#include "link/lock_handle.h"

#include <hidapi.h>

#include <algorithm>
#include <cstring>

namespace lumora {

hid_device* deviceHandle = nullptr;
int deviceConnected = 0;
int deviceLock = -1;
std::uint8_t sequenceNumber = 0;
std::uint8_t OutputReport[kReportSize] = {};
std::uint8_t InputReport[kReportSize] = {};
LinkCounters linkCounters = {};
LinkActivity linkActivity = {};
PacketReport lastPacket = {};
ReplyMatching replyMatching = ReplyMatching::Unknown;

namespace {

std::atomic<bool> cancelRequested = false;
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler sets it");

}  // namespace

void RequestCancel() { cancelRequested.store(true, std::memory_order_relaxed); }

void ClearCancel() { cancelRequested.store(false, std::memory_order_relaxed); }

bool CancelRequested() { return cancelRequested.load(std::memory_order_relaxed); }

namespace {

const ReportTrace* reportTrace = nullptr;
std::uint8_t awaitedSequence = 0;  // the sequence byte of the packet being sent
int staleAtOpen = 0;               // read away at the open, counted with the next packet
bool failedAtOpen = false;         // the link failed at the open: the next packet's result
int lastReadWaited = 0;            // the time the last ReadReport counted as waited, in ms

// One thread writes the counters and the activity: a plain load and store
// is all an increment needs, and costs no locked instruction.
void Count(std::atomic<unsigned>& counter)
{
    counter.store(counter.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

// A write or read failed: close the device once and forget it, so that every
// later operation fails at once, as with no device, until the next connect.
void LinkFailure()
{
    CloseDevice();
    Count(linkCounters.linkFailures);
}

// Copies body bytes [from, from + count) of the packet to dest. Body byte 0 is
// the code byte of the command word, byte 1 the group byte, then the payload.
void CopyBody(std::uint8_t* dest, const CommandPacket& packet, std::size_t from, std::size_t count)
{
    for (; count > 0 && from < 2; --count, ++from) {
        *dest++ = static_cast<std::uint8_t>(from == 0 ? packet.commandWord & 0xFF : packet.commandWord >> 8);
    }
    std::memcpy(dest, packet.payload + (from - 2), count);
}

// Writes the OutputReport: the bytes written, or -1 with no device or on a
// link failure.
int WriteOutputReport()
{
    if (deviceHandle == nullptr) {
        Count(linkCounters.noDevice);
        return -1;
    }
    const int written = hid_write(deviceHandle, OutputReport, kReportSize);
    if (reportTrace != nullptr) {
        reportTrace->written(deviceHandle, OutputReport, kReportSize, written);
    }
    if (written < 0) {
        lastPacket.result = PacketResult::LinkFailed;
        LinkFailure();
        return -1;
    }
    ++lastPacket.reportsWritten;
    return written;
}

std::uint16_t ReplyLength()
{
    return static_cast<std::uint16_t>(InputReport[kReplyLengthAt] | (InputReport[kReplyLengthAt + 1] << 8));
}

void CountStale(int count)
{
    lastPacket.staleReports = static_cast<std::uint8_t>(std::min(lastPacket.staleReports + count, 255));
}

// Starts lastPacket afresh for the packet about to be sent; what the open
// found goes with it: the reports read away then, and a link that failed.
void StartPacketReport()
{
    const PacketResult result = failedAtOpen              ? PacketResult::LinkFailed
                                : deviceHandle == nullptr ? PacketResult::NoDevice
                                                          : PacketResult::NotSent;
    lastPacket = {result, 0, 0, 0};
    CountStale(staleAtOpen);
    staleAtOpen = 0;
    failedAtOpen = false;
}

// Reads away the reports already waiting, without waiting for any: reads of
// 0 ms until one gives nothing. Returns the count read away, or -1 on a link
// failure. The device is open.
int ReadAway()
{
    int count = 0;
    int read = 0;
    do {
        read = hid_read_timeout(deviceHandle, InputReport, kReportSize, 0);
        if (reportTrace != nullptr) {
            reportTrace->read(ReadKind::ReadAway, InputReport, read);
        }
        count += read > 0 ? 1 : 0;
    } while (read > 0 && count < kMaxStaleReports);
    std::memset(InputReport, 0, kReportSize);
    if (read < 0) {
        LinkFailure();
        return -1;
    }
    return count;
}

// Before the first report of a packet whose reply is to carry `sequence`:
// what is waiting is read away and counted as stale for it. Returns false
// when the link failed meanwhile (nothing may be written then).
bool BeginPacket(std::uint8_t sequence)
{
    awaitedSequence = sequence;
    if (deviceHandle == nullptr) {
        return true;  // the write tells that there is no device
    }
    const int stale = ReadAway();
    if (stale < 0) {
        lastPacket.result = PacketResult::LinkFailed;
        return false;
    }
    CountStale(stale);
    return true;
}

// The first reply to a packet whose sequence byte tells anything sets how
// this connection matches replies.
void LearnMatching(int read)
{
    if (replyMatching == ReplyMatching::Unknown && awaitedSequence != 0 && read > static_cast<int>(kReplySequenceAt)) {
        replyMatching = InputReport[kReplySequenceAt] == awaitedSequence ? ReplyMatching::Echo : ReplyMatching::Any;
    }
}

}  // namespace

bool IsOtherPacketsReport(const std::uint8_t* report, std::size_t count)
{
    return replyMatching == ReplyMatching::Echo &&
           (count <= kReplySequenceAt || report[kReplySequenceAt] != awaitedSequence);
}

int BeginConnection()
{
    replyMatching = ReplyMatching::Unknown;
    staleAtOpen = 0;
    failedAtOpen = false;
    if (deviceHandle == nullptr) {
        return -1;
    }
    const int stale = ReadAway();
    staleAtOpen = std::max(stale, 0);
    failedAtOpen = stale < 0;
    return stale;
}

void ClearLinkCounters()
{
    for (std::atomic<unsigned>* counter : {&linkCounters.commandsSent, &linkCounters.commandsFailed,
                                           &linkCounters.noDevice, &linkCounters.refusals,
                                           &linkCounters.missingAcks, &linkCounters.linkFailures}) {
        counter->store(0, std::memory_order_relaxed);
    }
}

void SetReportTrace(const ReportTrace* trace) { reportTrace = trace; }

void CloseDevice()
{
    if (deviceHandle != nullptr) {
        hid_close(deviceHandle);
    }
    if (deviceLock >= 0) {
        ReleaseLockHandle(deviceLock);
    }
    deviceHandle = nullptr;
    deviceConnected = 0;
    deviceLock = -1;
    replyMatching = ReplyMatching::Unknown;
    staleAtOpen = 0;
    failedAtOpen = false;
}

void PrepareWrite(CommandPacket& packet, const CommandEntry& entry)
{
    packet.flags = kWriteFlags;
    packet.sequence = sequenceNumber++;
    packet.length = static_cast<std::uint16_t>(entry.payloadLength + 2);
    packet.commandWord = static_cast<std::uint16_t>(entry.group << 8 | entry.code);
}

int SendCommand(const CommandPacket& packet)
{
    const std::size_t length = packet.length;
    StartPacketReport();
    linkActivity.commandWord.store(packet.commandWord, std::memory_order_relaxed);
    // A cancelled action writes nothing more; a packet is never cut short.
    // A body above 512 bytes cannot be held: sending it would put bytes past
    // the packet on the wire.
    const bool cancelled = CancelRequested();
    if (cancelled || length > kMaxBody) {
        lastPacket.result = cancelled ? PacketResult::Cancelled : lastPacket.result;
        Count(linkCounters.commandsFailed);
        return -1;
    }

    // First report: header, then as much of the body as fits. Bytes behind
    // the end of the packet are zeroed so nothing stale reaches the wire.
    std::size_t n = std::min(length, kFirstReportBody);
    OutputReport[kReportIdAt] = 0;
    OutputReport[kFlagsAt] = packet.flags;
    OutputReport[kSequenceAt] = packet.sequence;
    OutputReport[kLengthAt] = static_cast<std::uint8_t>(length & 0xFF);
    OutputReport[kLengthAt + 1] = static_cast<std::uint8_t>(length >> 8);
    CopyBody(OutputReport + kFirstBodyAt, packet, 0, n);
    std::memset(OutputReport + kFirstBodyAt + n, 0, kFirstReportBody - n);

    int result = -1;
    if (!BeginPacket(packet.sequence)) {
        // The link failed while reading away what was waiting: nothing went out.
    } else if (length <= kFirstReportBody) {
        if (WriteReport(true) >= 0) {
            result = static_cast<int>(kHeaderSize + length);
        }
    } else if (WriteReport(false) >= 0) {
        // Continuation reports: 64 body bytes each, no header; only the last
        // one waits for the acknowledgement.
        std::size_t sent = kFirstReportBody;
        for (;;) {
            n = std::min(length - sent, kContinuationBody);
            CopyBody(OutputReport + kContinuationBodyAt, packet, sent, n);
            std::memset(OutputReport + kContinuationBodyAt + n, 0, kContinuationBody - n);
            const bool last = sent + kContinuationBody >= length;
            if (WriteReport(last) < 0) {
                break;
            }
            sent += kContinuationBody;
            if (sent >= length) {
                result = static_cast<int>(kHeaderSize + sent);
                break;
            }
        }
    }

    Count(result < 0 ? linkCounters.commandsFailed : linkCounters.commandsSent);
    return result;
}

int WriteReport(bool awaitAck)
{
    const int written = WriteOutputReport();
    if (written < 0) {
        return -1;
    }
    if (awaitAck && written > 0) {
        // The acknowledgement is best effort: only the error flag fails the
        // write; a time-out or a failed read leaves it successful.
        const int read = ReadReply();
        if (read > 0 && (InputReport[kReplyFlagsAt] & kFlagError) != 0) {
            Count(linkCounters.refusals);
            lastPacket.result = PacketResult::Refused;
            return -2;
        }
        const bool cancelled = read == 0 && CancelRequested();
        if (read == 0 && !cancelled) {
            Count(linkCounters.missingAcks);
        }
        lastPacket.result = read > 0    ? PacketResult::Acknowledged
                            : cancelled ? PacketResult::Cancelled
                            : read == 0 ? PacketResult::Unacknowledged
                                        : PacketResult::LinkFailed;
    } else if (awaitAck) {
        lastPacket.result = PacketResult::Unacknowledged;  // nothing went out to be acknowledged
    }
    return written;
}

int ReadReport(int milliseconds)
{
    if (deviceHandle == nullptr) {
        Count(linkCounters.noDevice);
        return -1;
    }
    std::memset(InputReport, 0, kReportSize);
    Count(linkActivity.readsStarted);
    // The time is waited in slices, so that a cancel is seen within one.
    // Each slice counts in full, also when the library returns sooner. The
    // trace is told of the read once, as it ends.
    int read = 0;
    int waited = 0;
    for (; read == 0 && waited < milliseconds && !CancelRequested(); waited += kReadSliceMs) {
        read = hid_read_timeout(deviceHandle, InputReport, kReportSize, std::min(kReadSliceMs, milliseconds - waited));
    }
    lastReadWaited = waited;
    if (reportTrace != nullptr) {
        reportTrace->read(ReadKind::Awaited, InputReport, read);
    }
    Count(linkActivity.readsFinished);
    if (read < 0) {
        lastPacket.result = PacketResult::LinkFailed;
        LinkFailure();
        return -1;
    }
    lastPacket.reportsRead += read > 0 ? 1 : 0;
    return read;
}

int ReadReply()
{
    int milliseconds = kReadTimeoutMs;
    for (;;) {
        const int read = ReadReport(milliseconds);
        if (read <= 0) {
            return read;
        }
        if (!IsOtherPacketsReport(InputReport, static_cast<std::size_t>(read))) {
            LearnMatching(read);
            return read;
        }
        CountStale(1);
        milliseconds -= lastReadWaited;  // the slices it took, each in full
        if (milliseconds <= 0) {
            std::memset(InputReport, 0, kReportSize);  // nothing came but stale reports
            return 0;
        }
    }
}

int Transact()
{
    linkActivity.commandWord.store(
        static_cast<std::uint16_t>(OutputReport[kFirstBodyAt] | OutputReport[kFirstBodyAt + 1] << 8),
        std::memory_order_relaxed);
    StartPacketReport();
    if (CancelRequested()) {
        lastPacket.result = PacketResult::Cancelled;
        return -1;
    }
    if (!BeginPacket(OutputReport[kSequenceAt]) || WriteOutputReport() <= 0) {
        return -1;
    }
    // ReadReport clears the InputReport first, so a time-out or a failed read
    // leaves the reply length at 0 and ends here with -2.
    // A reply too short to hold a data byte is no valid reply either: its
    // data would be the zeros ReadReport cleared, not the controller's.
    const int read = ReadReply();
    if (read < 0) {
        return -2;
    }
    if (read <= static_cast<int>(kReplyDataAt) || (InputReport[kReplyFlagsAt] & kFlagError) != 0 ||
        ReplyLength() == 0) {
        lastPacket.result = read > 0 && (InputReport[kReplyFlagsAt] & kFlagError) != 0 ? PacketResult::Refused
                            : read == 0 && CancelRequested()                          ? PacketResult::Cancelled
                                                                                        : PacketResult::Unacknowledged;
        return -2;
    }
    lastPacket.result = PacketResult::Acknowledged;
    return read;
}

}  // namespace lumora
