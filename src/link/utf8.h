// UTF-8, decoded in one place: the text a module gives through the HID
// library (wide strings) and the text an operator types (UTF-8) meet here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lumora {

// One character of UTF-8 text: its code point and the bytes it takes; a
// length of 0 when the bytes there are no character.
struct Utf8Char {
    char32_t code = 0;
    std::size_t length = 0;
};

// The character at text[at] (at < text.size()). Length 0 for a stray
// continuation byte, a lead byte without all its continuation bytes, an
// overlong form (\xC0\x80 for U+0000), a surrogate, a code point above
// U+10FFFF and the bytes F8 to FF.
Utf8Char DecodeUtf8(std::string_view text, std::size_t at);

// A wide string from the HID library as UTF-8; what is no character (a
// surrogate, a value above U+10FFFF) becomes U+FFFD. nullptr gives "".
std::string ToUtf8(const wchar_t* text);

// UTF-8 text as a wide string for the HID library, or nothing when any of
// it is not UTF-8: refused whole, never cut short or patched. U+0000 is
// decoded like any character; a caller that hands the result on as a C
// string refuses it first.
std::optional<std::wstring> FromUtf8(std::string_view text);

}  // namespace lumora
