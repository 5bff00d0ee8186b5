#include "link/commands.h"

#include <cassert>
#include <cstring>

namespace lumora {

namespace {

void PutU32(std::uint8_t* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// count - 1 kept to its low 8 bits, without signed overflow at INT_MIN.
std::uint8_t LowByteLessOne(int count)
{
    return static_cast<std::uint8_t>(static_cast<unsigned>(count) - 1U);
}

}  // namespace

int SendFixedCommand(CommandId id, std::span<const std::uint8_t> payload)
{
    const CommandEntry& entry = CommandTable[id];
    assert(payload.size() == entry.payloadLength);
    CommandPacket packet;
    PrepareWrite(packet, entry);
    std::memcpy(packet.payload, payload.data(), entry.payloadLength);
    return SendCommand(packet);
}

int SendByteCommand(CommandId id, std::uint8_t value)
{
    const std::uint8_t payload[] = {value};
    return SendFixedCommand(id, payload);
}

int SetLedCurrents() { return SetLedCurrents(kLedCurrent, kLedCurrent, kLedCurrent); }

int SetLedCurrents(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    const std::uint8_t payload[] = {red, green, blue};
    return SendFixedCommand(CmdLedCurrent, payload);
}

std::array<std::uint8_t, 4> LutControlPayload(int entryCount, bool repeat, int patternCount, int imageCount)
{
    return {LowByteLessOne(entryCount), static_cast<std::uint8_t>(repeat ? 1 : 0), LowByteLessOne(patternCount),
            LowByteLessOne(imageCount)};
}

int ConfigureSequence(int entryCount, int patternCount, int imageCount)
{
    return SendFixedCommand(CmdLutControl, LutControlPayload(entryCount, true, patternCount, imageCount));
}

std::array<std::uint8_t, 8> ExposureTimingPayload(std::uint32_t exposureMicroseconds,
                                                  std::uint32_t periodMicroseconds)
{
    std::array<std::uint8_t, 8> payload;
    PutU32(payload.data(), exposureMicroseconds);
    PutU32(payload.data() + 4, periodMicroseconds);
    return payload;
}

int SetExposureTiming(std::int32_t exposureMicroseconds, std::int32_t periodMicroseconds)
{
    return SendFixedCommand(CmdExposurePeriod, ExposureTimingPayload(static_cast<std::uint32_t>(exposureMicroseconds),
                                                                     static_cast<std::uint32_t>(periodMicroseconds)));
}

int PauseSequence() { return SendByteCommand(CmdPatternStartStop, kSequencePause); }

int StopSequence() { return SendByteCommand(CmdPatternStartStop, kSequenceStop); }

}  // namespace lumora
