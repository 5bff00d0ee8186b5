// The dialog's integer parser against a reference rule, written here apart
// from it: optional blanks (space, tab), at most one sign, one or more ASCII
// digits, optional blanks, nothing else; a well-formed number outside the
// 32-bit range is out of range, never wrapped. The value is 0 unless valid.
//
// Input: the bytes of the field's text, as the dialog hands them over.
#include "ui/data_exchange.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using lumora::ui::IntegerText;
using lumora::ui::ParsedInteger;

ParsedInteger Reference(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
        return {IntegerText::NotInteger, 0};
    }
    // Compare the digits as a string with the largest magnitude allowed.
    const std::size_t significant = text.find_first_not_of('0');
    const std::string_view digits = significant == std::string_view::npos ? "0" : text.substr(significant);
    const std::string_view limit = negative ? "2147483648" : "2147483647";
    if (digits.size() > limit.size() || (digits.size() == limit.size() && digits > limit)) {
        return {IntegerText::OutOfRange, 0};
    }
    const long long magnitude = std::stoll(std::string(digits));
    return {IntegerText::Valid, static_cast<std::int32_t>(negative ? -magnitude : magnitude)};
}

[[noreturn]] void Mismatch(std::string_view text, const ParsedInteger& got, const ParsedInteger& expected)
{
    std::fprintf(stderr, "parse_int fuzz: \"");
    for (const char c : text) {
        std::fprintf(stderr, c >= 0x20 && c < 0x7F && c != '"' ? "%c" : "\\x%02X", static_cast<unsigned char>(c));
    }
    std::fprintf(stderr, "\": parser gives %d/%d, the rule %d/%d\n", static_cast<int>(got.result), got.value,
                 static_cast<int>(expected.result), expected.value);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ParsedInteger got = lumora::ui::ParseInteger(text);
    const ParsedInteger expected = Reference(text);
    if (got.result != expected.result || got.value != expected.value) {
        Mismatch(text, got, expected);
    }
    if (got.result == IntegerText::Valid) {
        // A valid value prints back to a text that parses to it again.
        const std::string printed = std::to_string(got.value);
        const ParsedInteger again = lumora::ui::ParseInteger(printed);
        if (again.result != IntegerText::Valid || again.value != got.value) {
            Mismatch(printed, again, got);
        }
    }
    return 0;
}
