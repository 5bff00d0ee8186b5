// Sequence files: a pattern sequence written as TOML, read and checked in
// full before anything is sent.
//
//   exposure_us = 16666        # 1 to 4294967295, with period_us (at least exposure_us)
//   period_us = 16666
//   # frequency_hz = 60        # 1 to 120, instead of the two above: both 1000000 / frequency_hz
//   repeat = true              # false: run once
//   flip = { long_axis = false, short_axis = true }
//   leds = { red = 120, green = 120, blue = 120 }                             # 0 to 255
//   trigger_out1 = { invert = false, rising_delay = 187, falling_delay = 187 }  # optional
//   trigger_out2 = { invert = false, rising_delay = 187 }                       # optional
//
//   [[pattern]]                # 1 to 128 entries in all, at most 64 image changes
//   image = 3                  # 0 to 255
//   pattern = [0, 1, 2]        # a number or a list, 0 to 24 / bits - 1
//   bits = 8                   # 1 to 8
//   color = "white"            # red, green, blue, yellow, cyan, magenta or white
//   invert = false
//   black = true
#pragma once

#include "patterns/sequence.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

// A sequence file is a few kilobytes; anything above this is not one.
inline constexpr std::size_t kMaxSequenceFileBytes = 1 << 20;

// The name errors give standard input ("-").
inline constexpr std::string_view kStandardInputName = "<stdin>";

struct SequenceError {
    std::string file;     // the name the file was read under
    int line;             // from 1; 0 when the error concerns the file as a whole
    int column;           // from 1; 0 with line 0
    std::string key;      // the key at fault as a path ("pattern[2].bits"); empty when none
    std::string message;  // what is wrong, naming the key and the offending value
};

// "file:line:col: message", or "file: message" for the file as a whole.
// Returns the line, without a newline.
std::string FormatSequenceError(const SequenceError& error);

struct SequenceFile {
    std::optional<Sequence> sequence;   // present exactly when errors is empty
    std::vector<SequenceError> errors;  // in file order, those without a position first
};

// Reads and checks the sequence file at path; "-" reads standard input.
// Returns the sequence, or every error found (a syntax error stops the
// reading at the first).
SequenceFile ReadSequenceFile(const std::string& path);

// Checks a sequence given as text; name stands for the file in the errors.
// Returns the sequence, or every error found.
SequenceFile ReadSequenceText(std::string_view text, std::string_view name);

}  // namespace lumora
