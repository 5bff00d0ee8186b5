#include "actions/printable.h"

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

// Length of the UTF-8 sequence at text[i] and its code point; 0 when the
// bytes there are not UTF-8 (overlong forms and surrogates included).
std::size_t Decode(std::string_view text, std::size_t i, char32_t& c)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0 || i + length > text.size()) {
        return 0;
    }
    c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        c = c << 6 | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return 0;
    }
    return length;
}

}  // namespace

std::string Printable(std::string_view text, std::size_t limit)
{
    // Characters of the text: a UTF-8 sequence or a stray byte each.
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++characters) {
        char32_t c = 0;
        const std::size_t length = Decode(text, i, c);
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
        char32_t c = 0;
        const std::size_t length = Decode(text, i, c);
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
