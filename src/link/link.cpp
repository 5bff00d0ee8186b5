#include "link/link.h"

#include <hidapi.h>
#include <unistd.h>

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

namespace {

std::atomic<bool> cancelRequested = false;
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler sets it");

}  // namespace

void RequestCancel() { cancelRequested.store(true, std::memory_order_relaxed); }

void ClearCancel() { cancelRequested.store(false, std::memory_order_relaxed); }

bool CancelRequested() { return cancelRequested.load(std::memory_order_relaxed); }

namespace {

const ReportTrace* reportTrace = nullptr;

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

}  // namespace

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
        ::close(deviceLock);  // the kernel drops the lock with the descriptor
    }
    deviceHandle = nullptr;
    deviceConnected = 0;
    deviceLock = -1;
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
    lastPacket = {deviceHandle == nullptr ? PacketResult::NoDevice : PacketResult::NotSent, 0, 0};
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
    if (length <= kFirstReportBody) {
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
        const int read = ReadReport();
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

int ReadReport()
{
    if (deviceHandle == nullptr) {
        Count(linkCounters.noDevice);
        return -1;
    }
    std::memset(InputReport, 0, kReportSize);
    Count(linkActivity.readsStarted);
    // The 2000 ms are waited in slices, so that a cancel is seen within one.
    // Each slice counts in full, also when the library returns sooner. The
    // trace is told of the read once, as it ends.
    int read = 0;
    for (int waited = 0; read == 0 && waited < kReadTimeoutMs && !CancelRequested(); waited += kReadSliceMs) {
        read = hid_read_timeout(deviceHandle, InputReport, kReportSize, std::min(kReadSliceMs, kReadTimeoutMs - waited));
    }
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

int Transact()
{
    linkActivity.commandWord.store(
        static_cast<std::uint16_t>(OutputReport[kFirstBodyAt] | OutputReport[kFirstBodyAt + 1] << 8),
        std::memory_order_relaxed);
    lastPacket = {deviceHandle == nullptr ? PacketResult::NoDevice : PacketResult::NotSent, 0, 0};
    if (CancelRequested()) {
        lastPacket.result = PacketResult::Cancelled;
        return -1;
    }
    if (WriteOutputReport() <= 0) {
        return -1;
    }
    // ReadReport clears the InputReport first, so a time-out or a failed read
    // leaves the reply length at 0 and ends here with -2.
    // A reply too short to hold a data byte is no valid reply either: its
    // data would be the zeros ReadReport cleared, not the controller's.
    const int read = ReadReport();
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
