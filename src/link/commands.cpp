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

int SetLedCurrents()
{
    static constexpr std::uint8_t kPayload[] = {kLedCurrent, kLedCurrent, kLedCurrent};
    return SendFixedCommand(CmdLedCurrent, kPayload);
}

int ConfigureSequence(int entryCount, int patternCount, int imageCount)
{
    const std::uint8_t payload[] = {
        LowByteLessOne(entryCount),
        1,  // repeat
        LowByteLessOne(patternCount),
        LowByteLessOne(imageCount),
    };
    return SendFixedCommand(CmdLutControl, payload);
}

int SetExposureTiming(std::int32_t exposureMicroseconds, std::int32_t periodMicroseconds)
{
    std::uint8_t payload[8];
    PutU32(payload, static_cast<std::uint32_t>(exposureMicroseconds));
    PutU32(payload + 4, static_cast<std::uint32_t>(periodMicroseconds));
    return SendFixedCommand(CmdExposurePeriod, payload);
}

int PauseSequence() { return SendByteCommand(CmdPatternStartStop, kSequencePause); }

int StopSequence() { return SendByteCommand(CmdPatternStartStop, kSequenceStop); }

}  // namespace lumora
