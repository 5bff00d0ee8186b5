// The controller commands this system sends, one row per command:
//   LUMORA_COMMAND(identifier, group byte, code byte, payload bytes)
// The command word is group * 256 + code; on the wire the code byte goes first.
// CmdLutData has no fixed payload: each look-up-table upload sets its own length.
//
// Include this file with LUMORA_COMMAND defined; it undefines nothing itself.
LUMORA_COMMAND(CmdInputSource, 0x1A, 0x00, 1)       // 2 = images held in flash
LUMORA_COMMAND(CmdPixelFormat, 0x1A, 0x02, 1)
LUMORA_COMMAND(CmdPortClock, 0x1A, 0x03, 1)
LUMORA_COMMAND(CmdFpdMode, 0x1A, 0x04, 1)           // FPD-Link mode and field select
LUMORA_COMMAND(CmdLongAxisFlip, 0x10, 0x08, 1)      // 0 off, 1 on
LUMORA_COMMAND(CmdShortAxisFlip, 0x10, 0x09, 1)     // 0 off, 1 on
LUMORA_COMMAND(CmdLedPwmPolarity, 0x1A, 0x05, 1)    // 0 normal
LUMORA_COMMAND(CmdLedEnable, 0x1A, 0x07, 1)         // bit 0 red, 1 green, 2 blue, 3 sequencer
LUMORA_COMMAND(CmdLedCurrent, 0x0B, 0x01, 3)        // red, green, blue
LUMORA_COMMAND(CmdValidate, 0x1A, 0x1A, 1)          // start the look-up-table check / status
LUMORA_COMMAND(CmdDisplayMode, 0x1A, 0x1B, 1)       // 0 video, 1 pattern sequence
LUMORA_COMMAND(CmdTrigOut1, 0x1A, 0x1D, 3)          // invert, rising delay, falling delay
LUMORA_COMMAND(CmdTrigOut2, 0x1A, 0x1E, 2)          // invert, rising delay
LUMORA_COMMAND(CmdRedDelay, 0x1A, 0x1F, 2)          // rising, falling
LUMORA_COMMAND(CmdGreenDelay, 0x1A, 0x20, 2)        // rising, falling
LUMORA_COMMAND(CmdBlueDelay, 0x1A, 0x21, 2)         // rising, falling
LUMORA_COMMAND(CmdPatternSource, 0x1A, 0x22, 1)     // 3 = flash
LUMORA_COMMAND(CmdTriggerMode, 0x1A, 0x23, 1)
LUMORA_COMMAND(CmdPatternStartStop, 0x1A, 0x24, 1)  // 0 stop, 1 pause, 2 start
LUMORA_COMMAND(CmdExposurePeriod, 0x1A, 0x29, 8)    // u32 exposure us, u32 period us
LUMORA_COMMAND(CmdLutControl, 0x1A, 0x31, 4)        // entries-1, repeat, patterns-1, images-1
LUMORA_COMMAND(CmdLutOffset, 0x1A, 0x32, 1)
LUMORA_COMMAND(CmdLutAccess, 0x1A, 0x33, 1)         // 0 close, 1 image LUT, 2 pattern LUT
LUMORA_COMMAND(CmdLutData, 0x1A, 0x34, 0)           // length set by each upload
LUMORA_COMMAND(CmdTrigIn1Delay, 0x1A, 0x35, 4)      // u32
LUMORA_COMMAND(CmdImageLoad, 0x1A, 0x39, 1)         // flash image index
