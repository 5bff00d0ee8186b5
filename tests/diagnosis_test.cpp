// Text from the HID library, and the listing of attached modules.
#include "connection/diagnosis.h"
#include "sim_fixture.h"

using namespace lumora;

namespace {

TEST(Utf8, WideStringsRoundTrip)
{
    for (const wchar_t* text : {L"", L"SIM0001", L"Gr\u00FC\u00DFe", L"\u65E5\u672C", L"\U0001F600 module"}) {
        EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    }
    EXPECT_EQ(ToUtf8(L"\u00E9"), "\xC3\xA9");
    EXPECT_EQ(ToUtf8(nullptr), "");
}

TEST(Utf8, BrokenInputBecomesReplacementCharacters)
{
    EXPECT_EQ(FromUtf8("a\xFF" "b"), L"a\uFFFD" L"b");
    EXPECT_EQ(FromUtf8("\xC3"), L"\uFFFD");  // cut short
    EXPECT_EQ(ToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800)).c_str()), "\xEF\xBF\xBD");
}

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
