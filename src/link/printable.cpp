#include "link/printable.h"

#include "link/utf8.h"

#include <cstdio>

namespace lumora {

namespace {

// Code points that change how a terminal or a text field lays out what
// follows them.
bool IsFormatControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x200E || c == 0x200F || (c >= 0x2028 && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

std::string Printable(std::string_view text, std::size_t limit)
{
    // Characters of the text: a UTF-8 sequence or a stray byte each.
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++characters) {
        const std::size_t length = DecodeUtf8(text, i).length;
        i += length == 0 ? 1 : length;
    }
    constexpr std::string_view kCut = "...";
    std::size_t budget = characters;
    if (limit > 0 && characters > limit) {
        budget = limit > kCut.size() ? limit - kCut.size() : 1;
    }

    std::string shown;
    char escape[16];
    std::size_t i = 0;
    for (std::size_t done = 0; done < budget; ++done) {
        const auto [c, length] = DecodeUtf8(text, i);
        if (length == 0) {
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(text[i]));
            shown += escape;
            ++i;
            continue;
        }
        if (c == '\\') {
            shown += "\\\\";
        } else if (IsFormatControl(c)) {
            const char* named = c == '\n' ? "\\n" : c == '\t' ? "\\t" : c == '\r' ? "\\r" : nullptr;
            if (named != nullptr) {
                shown += named;
            } else {
                std::snprintf(escape, sizeof escape, c < 0x80 ? "\\x%02X" : "\\u%04X", static_cast<unsigned>(c));
                shown += escape;
            }
        } else {
            shown.append(text.substr(i, length));
        }
        i += length;
    }
    if (budget < characters) {
        shown += kCut;
    }
    return shown;
}

}  // namespace lumora
