// The controller command set: the command table and the command operations
// with fixed arguments. Every command here is a write: PrepareWrite with the
// command's row, the payload, SendCommand.
#pragma once

#include "link/link.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

enum CommandId : std::uint8_t {
#define LUMORA_COMMAND(id, group, code, payload) id,
#include "link/command_list.h"
#undef LUMORA_COMMAND
    CommandCount
};

// Group byte, code byte and payload length of each command, by identifier.
inline constexpr CommandEntry CommandTable[CommandCount] = {
#define LUMORA_COMMAND(id, group, code, payload) {group, code, payload},
#include "link/command_list.h"
#undef LUMORA_COMMAND
};

// The identifier of each command as text, by identifier.
inline constexpr const char* CommandNames[CommandCount] = {
#define LUMORA_COMMAND(id, group, code, payload) #id,
#include "link/command_list.h"
#undef LUMORA_COMMAND
};

// The identifier of a command word, for decoding; nullptr when the word is not
// one of the commands above.
inline const char* CommandName(std::uint16_t commandWord)
{
    for (int id = 0; id < CommandCount; ++id) {
        if ((CommandTable[id].group << 8 | CommandTable[id].code) == commandWord) {
            return CommandNames[id];
        }
    }
    return nullptr;
}

// Sends one command with a fixed payload, whose size must be the table's
// payload length. Returns SendCommand's result.
int SendFixedCommand(CommandId id, std::span<const std::uint8_t> payload);

// Sends one of the one-byte commands. Returns SendCommand's result.
int SendByteCommand(CommandId id, std::uint8_t value);

// CmdLedCurrent with 120 for red, green and blue. Returns SendCommand's result.
int SetLedCurrents();
// CmdLedCurrent with the three currents (0 to 255), red first. Returns
// SendCommand's result.
int SetLedCurrents(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// CmdLutControl with entryCount - 1, repeat 1, patternCount - 1,
// imageCount - 1, each kept to its low 8 bits (so 0 goes out as 0xFF).
int ConfigureSequence(int entryCount, int patternCount, int imageCount);

// The CmdLutControl payload:
//   @0 entryCount - 1  @1 repeat (1) or run once (0)  @2 patternCount - 1
//   @3 imageCount - 1
// each count kept to its low 8 bits.
std::array<std::uint8_t, 4> LutControlPayload(int entryCount, bool repeat, int patternCount, int imageCount);

// CmdExposurePeriod with both values as little-endian u32, exposure first.
int SetExposureTiming(std::int32_t exposureMicroseconds, std::int32_t periodMicroseconds);

// The CmdExposurePeriod payload: @0-3 exposure, @4-7 frame period, both in
// microseconds, little-endian.
std::array<std::uint8_t, 8> ExposureTimingPayload(std::uint32_t exposureMicroseconds,
                                                  std::uint32_t periodMicroseconds);

// CmdPatternStartStop with 1 (pause) or 0 (stop). Returns SendCommand's result.
int PauseSequence();
int StopSequence();

// One packet of a command run as a listing shows it, without sending it.
struct ListedPacket {
    CommandId command;
    bool readRequest;  // the status read request (flags 0xC0) rather than a write
    std::vector<std::uint8_t> payload;
};

// Bytes in hex, upper case, one space apart: "1A 41 00".
inline std::string HexBytes(const std::uint8_t* bytes, std::size_t count)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text += ' ';
        }
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xF];
    }
    return text;
}

// "CmdLedEnable [08]", "read CmdValidate []": the command's name and its
// payload in hex, as the controller receives it. Inline, so that the
// simulated controller words the packets it receives the same way.
inline std::string DescribePacket(bool readRequest, std::string_view command, const std::uint8_t* payload,
                                  std::size_t count)
{
    return (readRequest ? "read " : "") + std::string(command) + " [" + HexBytes(payload, count) + "]";
}

inline std::string DescribePacket(const ListedPacket& packet)
{
    return DescribePacket(packet.readRequest, CommandNames[packet.command], packet.payload.data(),
                          packet.payload.size());
}

// Values the command operations and the command runs send.
inline constexpr std::uint8_t kLedCurrent = 120;
inline constexpr std::uint8_t kPatternMode = 1;   // CmdDisplayMode: pattern sequence
inline constexpr std::uint8_t kSourceFlash = 3;   // CmdPatternSource: the controller's flash
inline constexpr std::uint8_t kTriggerMode = 1;   // CmdTriggerMode
inline constexpr std::uint8_t kFlipOff = 0;
inline constexpr std::uint8_t kFlipOn = 1;
inline constexpr std::uint8_t kSequenceStop = 0;
inline constexpr std::uint8_t kSequencePause = 1;
inline constexpr std::uint8_t kSequenceStart = 2;

}  // namespace lumora
