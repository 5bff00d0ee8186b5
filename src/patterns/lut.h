// The pattern and image look-up tables and their upload. A pattern sequence
// is the pattern LUT (one 24-bit word per pattern to show) and the image LUT
// (the flash images it uses), uploaded through the LUT access commands and
// then checked by the controller.
#pragma once

#include "link/commands.h"

#include <chrono>
#include <cstdint>
#include <vector>

namespace lumora {

inline constexpr int kPatternLutCapacity = 128;
inline constexpr int kImageLutCapacity = 64;

// The upload and check functions below each send a command run of one step
// (command_run.h), the same that the actions' runs send.

// One pattern LUT entry, composed from its fields; sent as 3 bytes, least
// significant first.
//   bits 0-1 trigger type, 2-7 pattern number, 8-11 bit depth,
//   12-14 LED select (12 red, 13 green, 14 blue), 16 invert,
//   17 insert black, 18 buffer swap, 19 trigger out previous.
struct LutWord {
    std::uint8_t triggerType = 0;
    std::uint8_t patternNumber = 0;  // in patterns of the entry's bit depth
    std::uint8_t bitDepth = 0;
    std::uint8_t ledSelect = 0;
    bool invertPattern = false;
    bool insertBlack = false;
    bool bufferSwap = false;         // move on to the next image of the image LUT
    bool triggerOutPrevious = false;

    constexpr std::uint32_t Value() const
    {
        return static_cast<std::uint32_t>(triggerType & 0x3) | static_cast<std::uint32_t>(patternNumber & 0x3F) << 2 |
               static_cast<std::uint32_t>(bitDepth & 0xF) << 8 | static_cast<std::uint32_t>(ledSelect & 0x7) << 12 |
               static_cast<std::uint32_t>(invertPattern) << 16 | static_cast<std::uint32_t>(insertBlack) << 17 |
               static_cast<std::uint32_t>(bufferSwap) << 18 | static_cast<std::uint32_t>(triggerOutPrevious) << 19;
    }

    // The fields of a word as the controller reads them (bits 15 and 20-23
    // carry nothing).
    static constexpr LutWord FromValue(std::uint32_t value)
    {
        return {
            .triggerType = static_cast<std::uint8_t>(value & 0x3),
            .patternNumber = static_cast<std::uint8_t>(value >> 2 & 0x3F),
            .bitDepth = static_cast<std::uint8_t>(value >> 8 & 0xF),
            .ledSelect = static_cast<std::uint8_t>(value >> 12 & 0x7),
            .invertPattern = (value >> 16 & 1) != 0,
            .insertBlack = (value >> 17 & 1) != 0,
            .bufferSwap = (value >> 18 & 1) != 0,
            .triggerOutPrevious = (value >> 19 & 1) != 0,
        };
    }
};

inline constexpr std::uint8_t kLedsAll = 0x7;   // red, green and blue
inline constexpr std::uint8_t kLedsBlue = 0x4;
inline constexpr std::uint8_t kEightBits = 8;

// The process-wide pattern table. Callers write entries from 0 upward and set
// count (0 to 128) before uploading; entries beyond count are never sent.
struct PatternLutTable {
    std::uint32_t entries[kPatternLutCapacity];
    std::uint32_t count;
};
extern PatternLutTable PatternLut;

// CmdLutAccess with the selector (1 image LUT, 2 pattern LUT) or 0 to close.
inline constexpr std::uint8_t kOpenImageLut = 1;
inline constexpr std::uint8_t kOpenPatternLut = 2;
inline constexpr std::uint8_t kCloseLut = 0;
int OpenLutAccess(std::uint8_t selector);
int CloseLutAccess();
// CmdLutOffset: where in the open table the next data goes.
int SetLutOffset(std::uint8_t offset);

// Open, offset 0, the first PatternLut.count entries, close. Returns 0, or -1
// when the table cannot be opened (nothing else is sent), when count lies
// outside 0 to 128 (nothing is sent), or when the data packet fails (the
// close is still sent).
int UploadPatternLut();

// Open, offset 0, the count indices, close. Two entries go out exchanged;
// the controller relies on that order for the presets. Returns the data
// packet's result, or -1 when count lies outside 1 to 64 (nothing is sent).
int UploadImageLut(int count, const std::uint8_t* indices);

// As UploadImageLut, but the indices always go out in list order, whatever
// their count. Returns the data packet's result, or -1 when count lies
// outside 1 to 64 (nothing is sent).
int UploadImageLutInOrder(int count, const std::uint8_t* indices);

// Asks the controller to check the uploaded tables and polls the status until
// its busy bit (0x80) clears. Returns 0 with status set to the final status
// byte, or -1: the check could not be started, a poll failed, or the busy bit
// stayed set for the whole bound (5 s on a steady clock); status is then
// left alone.
int WaitLutValid(int& status);

// How long WaitLutValid keeps polling a busy controller; tests shorten it.
inline constexpr std::chrono::milliseconds kStatusPollBound{5000};
void SetStatusPollBound(std::chrono::milliseconds bound);
std::chrono::milliseconds StatusPollBound();

// What the last check of the tables saw (WaitLutValid, or a run's check);
// an action's outcome reads its run record instead.
struct LutValidation {
    bool attempted;  // WaitLutValid ran since the last clear
    int result;      // its result
    int status;      // the final status byte when result is 0
    bool gaveUp;     // the busy bit outlasted the bound
};
extern LutValidation lastLutValidation;
void ClearLutValidation();

}  // namespace lumora
