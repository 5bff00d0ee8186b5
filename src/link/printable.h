// Text from outside (a device's strings, a program name, an argument typed on
// the command line) made safe to show: control characters cannot move the
// cursor, retitle or clear a terminal, or fake a line of their own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lumora {

// Escapes C0 and C1 control characters, DEL, the bidirectional overrides and
// the line separators (\n, \x1B, \u202E ...), the backslash itself (\\) and
// bytes that are not UTF-8 (\xFF). With a limit, a text of more characters
// than that is cut and ends in "...".
std::string Printable(std::string_view text, std::size_t limit = 0);

// Longest argument quoted in a message, in characters.
inline constexpr std::size_t kQuotedArgumentLimit = 40;

}  // namespace lumora
