// The controller command set: the command table and the command operations
// with fixed arguments. Every command here is a write: PrepareWrite with the
// command's row, the payload, SendCommand.
#pragma once

#include "link/link.h"

#include <cstdint>
#include <span>

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

// The identifier of a command word, for decoding; nullptr when the word is not
// one of the commands above.
inline const char* CommandName(std::uint16_t commandWord)
{
    static constexpr const char* kNames[CommandCount] = {
#define LUMORA_COMMAND(id, group, code, payload) #id,
#include "link/command_list.h"
#undef LUMORA_COMMAND
    };
    for (int id = 0; id < CommandCount; ++id) {
        if ((CommandTable[id].group << 8 | CommandTable[id].code) == commandWord) {
            return kNames[id];
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

// CmdLutControl with entryCount - 1, repeat 1, patternCount - 1,
// imageCount - 1, each kept to its low 8 bits (so 0 goes out as 0xFF).
int ConfigureSequence(int entryCount, int patternCount, int imageCount);

// CmdExposurePeriod with both values as little-endian u32, exposure first.
int SetExposureTiming(std::int32_t exposureMicroseconds, std::int32_t periodMicroseconds);

// CmdPatternStartStop with 1 (pause) or 0 (stop). Returns SendCommand's result.
int PauseSequence();
int StopSequence();

// Values the command operations and the command runs send.
inline constexpr std::uint8_t kLedCurrent = 120;
inline constexpr std::uint8_t kSequenceStop = 0;
inline constexpr std::uint8_t kSequencePause = 1;
inline constexpr std::uint8_t kSequenceStart = 2;

}  // namespace lumora
