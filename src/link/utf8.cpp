#include "link/utf8.h"

#include <type_traits>

namespace lumora {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kLastCodePoint = 0x10FFFF;

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

void AppendUtf8(std::string& utf8, char32_t c)
{
    if (c < 0x80) {
        utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
        utf8 += static_cast<char>(0xC0 | c >> 6);
        utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        utf8 += static_cast<char>(0xE0 | c >> 12);
        utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        utf8 += static_cast<char>(0xF0 | c >> 18);
        utf8 += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

Utf8Char DecodeUtf8(std::string_view text, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80             ? 1
                               : (lead & 0xE0) == 0xC0 ? 2
                               : (lead & 0xF0) == 0xE0 ? 3
                               : (lead & 0xF8) == 0xF0 ? 4
                                                       : 0;
    if (length == 0 || at + length > text.size()) {
        return {};
    }
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) {
            return {};
        }
        c = c << 6 | (next & 0x3F);
    }
    // The smallest code point that needs each length: below it the form is overlong.
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || c > kLastCodePoint || IsSurrogate(c)) {
        return {};
    }
    return {c, length};
}

// Where wchar_t has 16 bits (Windows), wide strings are UTF-16: a code
// point above U+FFFF takes a pair of surrogates.
constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

std::string ToUtf8(const wchar_t* text)
{
    std::string utf8;
    for (; text != nullptr && *text != L'\0'; ++text) {
        auto c = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(*text));
        if (kWideIsUtf16 && c >= 0xD800 && c <= 0xDBFF && text[1] >= 0xDC00 && text[1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[1]) - 0xDC00);
            ++text;
        }
        AppendUtf8(utf8, c > kLastCodePoint || IsSurrogate(c) ? kReplacement : c);
    }
    return utf8;
}

std::optional<std::wstring> FromUtf8(std::string_view text)
{
    std::wstring wide;
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Char c = DecodeUtf8(text, i);
        if (c.length == 0) {
            return std::nullopt;
        }
        if (kWideIsUtf16 && c.code > 0xFFFF) {
            wide += static_cast<wchar_t>(0xD800 + ((c.code - 0x10000) >> 10));
            wide += static_cast<wchar_t>(0xDC00 + ((c.code - 0x10000) & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(c.code);
        }
        i += c.length;
    }
    return wide;
}

}  // namespace lumora
