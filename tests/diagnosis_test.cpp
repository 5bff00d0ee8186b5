// Text from the HID library, and the listing of attached modules.
#include "connection/diagnosis.h"
#include "link/printable.h"
#include "link/utf8.h"
#include "sim_fixture.h"

#include <cstdio>
#include <optional>

using namespace lumora;

namespace {

TEST(Utf8, WideStringsRoundTrip)
{
    for (const wchar_t* text : {L"", L"SIM0001", L"Gr\u00FC\u00DFe", L"\u65E5\u672C", L"\U0001F600 module"}) {
        EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    }
    EXPECT_EQ(ToUtf8(L"\u00E9"), "\xC3\xA9");
    EXPECT_EQ(ToUtf8(nullptr), "");
    EXPECT_EQ(ToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800)).c_str()), "\xEF\xBF\xBD");
    // Above U+FFFF: four bytes, from one wchar_t or (Windows) a surrogate pair;
    // a lone surrogate is no character, and what follows it is kept.
    EXPECT_EQ(ToUtf8(L"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(ToUtf8((std::wstring(1, static_cast<wchar_t>(0xDBFF)) + L"A").c_str()), "\xEF\xBF\xBD" "A");
    EXPECT_EQ(ToUtf8((std::wstring(1, static_cast<wchar_t>(0xDC00)) + L"A").c_str()), "\xEF\xBF\xBD" "A");
}

// The first and last code point of each length, and those around the surrogates.
TEST(Utf8, EdgesOfEachLengthDecode)
{
    const struct {
        std::string_view bytes;
        char32_t code;
    } cases[] = {
        {std::string_view("\0", 1), 0x0}, {"\x7F", 0x7F},         {"\xC2\x80", 0x80},
        {"\xDF\xBF", 0x7FF},             {"\xE0\xA0\x80", 0x800}, {"\xED\x9F\xBF", 0xD7FF},
        {"\xEE\x80\x80", 0xE000},        {"\xEF\xBF\xBF", 0xFFFF}, {"\xF0\x90\x80\x80", 0x10000},
        {"\xF4\x8F\xBF\xBF", 0x10FFFF},
    };
    for (const auto& c : cases) {
        const Utf8Char decoded = DecodeUtf8(c.bytes, 0);
        EXPECT_EQ(decoded.length, c.bytes.size()) << std::hex << static_cast<std::uint32_t>(c.code);
        EXPECT_EQ(static_cast<std::uint32_t>(decoded.code), static_cast<std::uint32_t>(c.code));
        // One wchar_t, or where it has 16 bits (Windows) a surrogate pair above U+FFFF.
        std::wstring wide(1, static_cast<wchar_t>(c.code));
        if (sizeof(wchar_t) == 2 && c.code > 0xFFFF) {
            wide = {static_cast<wchar_t>(0xD800 + ((c.code - 0x10000) >> 10)),
                    static_cast<wchar_t>(0xDC00 + ((c.code - 0x10000) & 0x3FF))};
        }
        EXPECT_EQ(FromUtf8(c.bytes), wide);
    }
}

struct BrokenCase {
    const char* name;
    std::string bytes;
    std::size_t badAt;  // where the first byte that is no character stands
};

// Text that is not UTF-8 is refused whole, and Printable, with the same
// decoder, escapes the very bytes FromUtf8 refuses.
class BrokenUtf8 : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenUtf8, IsRefusedWholeAndShownEscaped)
{
    const BrokenCase& c = GetParam();
    EXPECT_EQ(FromUtf8(c.bytes), std::nullopt);
    EXPECT_EQ(DecodeUtf8(c.bytes, c.badAt).length, 0U);
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c.bytes[c.badAt]));
    EXPECT_THAT(Printable(c.bytes), ::testing::HasSubstr(escaped));
}

INSTANTIATE_TEST_SUITE_P(
    Forms, BrokenUtf8,
    ::testing::Values(BrokenCase{"OverlongNul", "A\xC0\x80" "B", 1}, BrokenCase{"OverlongSlash", "\xE0\x80\xAF", 0},
                      BrokenCase{"OverlongFourBytes", "\xF0\x82\x82\xAC", 0},
                      BrokenCase{"SurrogateHigh", "SIM\xED\xA0\x80", 3},
                      BrokenCase{"SurrogateLow", "\xED\xBF\xBF", 0},
                      BrokenCase{"AboveTheLastCodePoint", "\xF4\x90\x80\x80", 0},
                      BrokenCase{"TruncatedAtTheEnd", "A\xC3", 1}, BrokenCase{"TruncatedThreeBytes", "\xE2\x82", 0},
                      BrokenCase{"LeadBeforeAscii", "\xC3" "A", 0},
                      BrokenCase{"StrayContinuation", "A\x80", 1}, BrokenCase{"NeverALead", "a\xFF" "b", 1}),
    CaseName());

using Modules = SimTest;

TEST_F(Modules, ListingShowsWhatIsAttachedInOrder)
{
    std::vector<sim::Module> attached = {sim::DefaultModule(0), sim::DefaultModule(1)};
    attached[1].manufacturer = L"Caf\u00E9";
    sim::SetModules(attached);
    const std::vector<ModuleInfo> listed = ListModules();
    ASSERT_EQ(listed.size(), 2U);
    EXPECT_EQ(listed[0].path, sim::DefaultModule(0).path);
    EXPECT_EQ(listed[1].serial, "SIM0002");
    EXPECT_EQ(listed[1].manufacturer, "Caf\xC3\xA9");
    EXPECT_EQ(listed[1].product, "Projection Controller");
}

}  // namespace
