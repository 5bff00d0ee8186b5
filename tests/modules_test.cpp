// Modules as they really enumerate: interfaces grouped by port, the choice
// of a module, the listing for people and scripts, and modules coming and
// going.
#include "actions/module_listing.h"
#include "actions/outcome.h"
#include "cli/cli.h"
#include "connection/diagnosis.h"
#include "connection/module_watcher.h"
#include "connection/modules.h"
#include "scratch_directory.h"
#include "sim_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace lumora;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

// --- Grouping interfaces into modules -----------------------------------------

struct Shown {
    std::string port;
    std::vector<std::string> nodes;  // command interface first
    std::string product;
    bool operator==(const Shown&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Shown& shown)
{
    out << "{" << shown.port << ":";
    for (const std::string& node : shown.nodes) {
        out << " " << node;
    }
    return out << " (" << shown.product << ")}";
}

EnumeratedInterface Interface(std::string path, int number, std::string usbDevice, std::string phys,
                              std::string product = "P")
{
    EnumeratedInterface found;
    found.path = std::move(path);
    found.interfaceNumber = number;
    found.serial = "S";
    found.product = std::move(product);
    found.place = {true, kVendorId, kProductId, std::move(phys), std::move(usbDevice)};
    return found;
}

struct GroupCase {
    const char* name;
    std::vector<EnumeratedInterface> interfaces;
    std::vector<Shown> modules;
};

class Grouping : public ::testing::TestWithParam<GroupCase> {};

TEST_P(Grouping, MakesOneModuleOfEachUsbDevice)
{
    std::vector<Shown> shown;
    for (const ModuleInfo& module : GroupInterfaces(GetParam().interfaces)) {
        Shown s{module.port, {}, module.product};
        for (const ModuleInterface& interface : module.interfaces) {
            s.nodes.push_back(interface.path);
        }
        EXPECT_EQ(module.path, module.interfaces.front().path) << "the command interface";
        shown.push_back(s);
    }
    EXPECT_THAT(shown, ElementsAreArray(GetParam().modules));
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, Grouping,
    ::testing::Values(
        GroupCase{"OneInterfaceUnderAUsbDevice",
                  {Interface("/dev/hidraw0", 0, "1-2", "usb-0000:00:14.0-2/input0")},
                  {{"1-2", {"/dev/hidraw0"}, "P"}}},
        GroupCase{"TwoInterfacesAreOneModuleDrivenThroughTheLowest",
                  {Interface("/dev/hidraw3", 1, "1-2.3", "usb-0000:00:14.0-2.3/input1", "second"),
                   Interface("/dev/hidraw2", 0, "1-2.3", "usb-0000:00:14.0-2.3/input0", "first")},
                  {{"1-2.3", {"/dev/hidraw2", "/dev/hidraw3"}, "first"}}},
        GroupCase{"SameSerialAtTwoPortsIsTwoModules",
                  {Interface("/dev/hidraw0", 0, "1-2", "usb-0000:00:14.0-2/input0"),
                   Interface("/dev/hidraw1", 0, "1-3", "usb-0000:00:14.0-3/input0")},
                  {{"1-2", {"/dev/hidraw0"}, "P"}, {"1-3", {"/dev/hidraw1"}, "P"}}},
        GroupCase{"WithoutAUsbDeviceThePhysTellsPortAndInterface",
                  {Interface("/dev/hidraw0", -1, "", "usb-0000:00:14.0-2/input1", "second"),
                   Interface("/dev/hidraw1", -1, "", "usb-0000:00:14.0-2/input0", "first")},
                  {{"0000:00:14.0-2", {"/dev/hidraw1", "/dev/hidraw0"}, "first"}}},
        GroupCase{"AControllerNameWithDashes",
                  {Interface("/dev/hidraw0", -1, "", "usb-xhci-hcd.0.auto-1.2/input0")},
                  {{"xhci-hcd.0.auto-1.2", {"/dev/hidraw0"}, "P"}}},
        GroupCase{"TheUsbDeviceOutranksThePhys",
                  {Interface("/dev/hidraw0", 0, "3-1.4.2", "usb-0000:00:14.0-9/input0")},
                  {{"3-1.4.2", {"/dev/hidraw0"}, "P"}}},
        GroupCase{"InterfacesInterleavedWithAnotherModule",
                  {Interface("/dev/hidraw0", 0, "1-1", ""), Interface("/dev/hidraw1", 0, "1-2", ""),
                   Interface("/dev/hidraw2", 1, "1-1", "")},
                  {{"1-1", {"/dev/hidraw0", "/dev/hidraw2"}, "P"}, {"1-2", {"/dev/hidraw1"}, "P"}}},
        GroupCase{"AnUnknownInterfaceNumberComesLast",
                  {Interface("/dev/hidraw5", -1, "1-4", "usb-0000:00:14.0-4"),
                   Interface("/dev/hidraw6", 2, "1-4", "usb-0000:00:14.0-4/input2")},
                  {{"1-4", {"/dev/hidraw6", "/dev/hidraw5"}, "P"}}},
        GroupCase{"ANodeListedOnceForEachOfItsCollections",
                  {Interface("/dev/hidraw0", 0, "1-2", ""), Interface("/dev/hidraw0", 0, "1-2", ""),
                   Interface("/dev/hidraw1", -1, "", ""), Interface("/dev/hidraw1", -1, "", "")},
                  {{"1-2", {"/dev/hidraw0"}, "P"}, {"", {"/dev/hidraw1"}, "P"}}},
        GroupCase{"NoPlaceAtAllLeavesEachNodeAModule",
                  {Interface("/dev/hidraw0", -1, "", ""), Interface("/dev/hidraw1", -1, "", "")},
                  {{"", {"/dev/hidraw0"}, "P"}, {"", {"/dev/hidraw1"}, "P"}}},
        GroupCase{"APhysThatIsNoUsbPortTellsNothing",
                  {Interface("/dev/hidraw0", -1, "", "lumora-vmodule/0"),
                   Interface("/dev/hidraw1", -1, "", "aa:bb:cc:dd:ee:ff"),
                   Interface("/dev/hidraw2", -1, "", "usb-0000:00:14.0-x/input0"),
                   Interface("/dev/hidraw3", -1, "", "usb-2/input0")},
                  {{"", {"/dev/hidraw0"}, "P"},
                   {"", {"/dev/hidraw1"}, "P"},
                   {"", {"/dev/hidraw2"}, "P"},
                   {"", {"/dev/hidraw3"}, "P"}}}),
    CaseName());

TEST(Phys, NamesTheInterfaceAtItsEnd)
{
    const std::pair<std::string, int> cases[] = {
        {"usb-0000:00:14.0-2.3/input1", 1}, {"usb-0000:00:14.0-2/input12", 12}, {"usb-0000:00:14.0-2/input", -1},
        {"usb-0000:00:14.0-2", -1},         {"usb-0000:00:14.0-2/inputA", -1},  {"", -1},
    };
    for (const auto& [phys, number] : cases) {
        EXPECT_EQ(InterfaceInPhys(phys), number) << phys;
    }
}

// --- Choosing a module ---------------------------------------------------------

struct ChoiceCase {
    const char* name;
    ModuleChoice choice;
    ChoiceProblem problem;
    std::string port;                // of the module chosen
    std::vector<std::string> ports;  // SharedSerial
};

class Choosing : public ::testing::TestWithParam<ChoiceCase> {
protected:
    // Three modules, two carrying the serial DUP, the second with two
    // interfaces; their nodes are files of a scratch directory, and "link"
    // leads to the second module's second node.
    std::vector<ModuleInfo> Modules()
    {
        for (const char* node : {"a0", "b0", "b1", "c0"}) {
            std::ofstream(scratch.Path() / node).put('\n');
        }
        std::error_code ignored;
        std::filesystem::create_symlink(scratch.Path() / "b1", scratch.Path() / "link", ignored);
        const auto node = [this](const char* name) { return (scratch.Path() / name).string(); };
        return {
            {"1-1", node("a0"), "DUP", "", "", {{0, node("a0")}}},
            {"1-2", node("b0"), "DUP", "", "", {{0, node("b0")}, {1, node("b1")}}},
            {"1-3", node("c0"), "ONE", "", "", {{0, node("c0")}}},
        };
    }
    std::string Node(const std::string& name) { return (scratch.Path() / name).string(); }
    ScratchDirectory scratch;
};

TEST_P(Choosing, NamesOneModuleOrSaysWhyNone)
{
    ChoiceCase c = GetParam();
    if (c.choice.by == ModuleChoice::By::Path) {
        c.choice.value = Node(c.choice.value);
    }
    const ChoiceResult result = ChooseModule(Modules(), c.choice);
    EXPECT_EQ(result.problem, c.problem);
    EXPECT_EQ(result.module.port, c.port);
    EXPECT_EQ(result.ports, c.ports);
}

using By = ModuleChoice::By;
INSTANTIATE_TEST_SUITE_P(
    Choices, Choosing,
    ::testing::Values(ChoiceCase{"NoChoiceTakesTheFirst", {}, ChoiceProblem::None, "1-1", {}},
                      ChoiceCase{"ByPort", {By::Port, "1-2"}, ChoiceProblem::None, "1-2", {}},
                      ChoiceCase{"NoSuchPort", {By::Port, "1-9"}, ChoiceProblem::NoSuchPort, "", {}},
                      ChoiceCase{"APortIsNoPrefix", {By::Port, "1"}, ChoiceProblem::NoSuchPort, "", {}},
                      ChoiceCase{"ByTheCommandNode", {By::Path, "b0"}, ChoiceProblem::None, "1-2", {}},
                      ChoiceCase{"ByAnotherInterfacesNode", {By::Path, "b1"}, ChoiceProblem::None, "1-2", {}},
                      ChoiceCase{"ByALinkToANode", {By::Path, "link"}, ChoiceProblem::None, "1-2", {}},
                      ChoiceCase{"NoSuchNode", {By::Path, "z9"}, ChoiceProblem::NoSuchPath, "", {}},
                      ChoiceCase{"ByAnOwnSerial", {By::Serial, "ONE"}, ChoiceProblem::None, "1-3", {}},
                      ChoiceCase{"ASharedSerialNamesNone", {By::Serial, "DUP"}, ChoiceProblem::SharedSerial, "",
                                 {"1-1", "1-2"}},
                      ChoiceCase{"NoSuchSerial", {By::Serial, "NOPE"}, ChoiceProblem::NoSuchSerial, "", {}}),
    CaseName());

TEST(Choosing, NothingAttachedIsNoModuleWhateverTheChoice)
{
    for (const ModuleChoice& choice : {ModuleChoice{}, ModuleChoice{By::Port, "1-1"}, ModuleChoice{By::Serial, "S"}}) {
        EXPECT_EQ(ChooseModule({}, choice).problem, ChoiceProblem::NoModule);
    }
}

// --- Opening the chosen module through the simulated controller ----------------

// Two modules of two interfaces each, the second interface of each listed
// first, as nothing promises the order of enumeration.
std::vector<sim::Module> TwoModulesListedBackwards()
{
    std::vector<sim::Module> modules = sim::LayoutModules(2, 2, "DUP", false);
    std::swap(modules[0], modules[1]);
    std::swap(modules[2], modules[3]);
    return modules;
}

class Opening : public SimTest {
protected:
    void TearDown() override
    {
        SelectModule(ModuleChoice{});
        ReleaseDevice();
        SimTest::TearDown();
    }
};

TEST_F(Opening, TheCommandInterfaceIsOpenedWhicheverNodeChoseTheModule)
{
    const std::vector<sim::Module> modules = TwoModulesListedBackwards();
    sim::SetModules(modules);
    // modules[3] is interface 0 of the second module, modules[2] its interface 1.
    for (const ModuleChoice& choice : {ModuleChoice{By::Port, "1-2"}, ModuleChoice{By::Path, modules[2].path},
                                       ModuleChoice{By::Path, modules[3].path}}) {
        SelectModule(choice);
        ASSERT_TRUE(ConnectDevice()) << choice.value;
        EXPECT_EQ(OpenedModule().path, modules[3].path);
        EXPECT_EQ(OpenedModule().port, "1-2");
        sim::ClearRecords();
        EXPECT_GE(StopSequence(), 0);
        ASSERT_EQ(sim::Packets().size(), 1U);
        EXPECT_EQ(sim::Packets()[0].serial, L"DUP");
        ReleaseDevice();
    }
    SelectModule(ModuleChoice{});
    ASSERT_TRUE(ConnectDevice());
    EXPECT_EQ(OpenedModule().path, modules[1].path) << "the first module's interface 0";
    EXPECT_EQ(ChoiceOf(OpenedModule()).value, "1-1");
}

TEST_F(Opening, ASharedSerialOpensNothing)
{
    sim::SetModules(TwoModulesListedBackwards());
    SelectModule(L"DUP");
    EXPECT_FALSE(ConnectDevice());
    EXPECT_EQ(sim::CallCount("hid_open_path") + sim::CallCount("hid_open"), 0);
    const OpenDiagnosis why = DiagnoseOpenFailure();
    EXPECT_EQ(why.problem, OpenProblem::SharedSerial);
    EXPECT_THAT(why.ports, ElementsAre("1-1", "1-2"));
}

TEST_F(Opening, TheLockOfTheCommandInterfaceKeepsEveryNodeOfTheModule)
{
    const std::vector<sim::Module> modules = TwoModulesListedBackwards();
    sim::SetModules(modules);
    const OtherProgram other(modules[3].path);
    SelectModule(ModuleChoice{By::Path, modules[2].path});  // the held module's other interface
    EXPECT_FALSE(ConnectDevice());
    const OpenDiagnosis why = DiagnoseOpenFailure();
    EXPECT_EQ(why.problem, OpenProblem::Busy);
    EXPECT_EQ(why.path, modules[3].path);
    SelectModule(ModuleChoice{By::Port, "1-1"});  // the other module is free
    EXPECT_TRUE(ConnectDevice());
}

TEST_F(Opening, AModuleOnUhidIsPlacedByItsPhysAlone)
{
    sim::SetModules(sim::LayoutModules(1, 2, "", true));
    const std::vector<ModuleInfo> modules = ListModules();
    ASSERT_EQ(modules.size(), 1U);
    EXPECT_EQ(modules[0].port, "0000:00:14.0-1");
    EXPECT_EQ(modules[0].manufacturer, "") << "the HID library finds none without a USB device";
    ASSERT_EQ(modules[0].interfaces.size(), 2U);
    EXPECT_EQ(modules[0].interfaces[0].number, 0);
    EXPECT_EQ(modules[0].interfaces[1].number, 1);
}

TEST_F(Opening, AHandleStaysDeadAfterItsModuleIsPluggedBack)
{
    sim::ReplugAfter(std::chrono::milliseconds(30));
    Connect();
    sim::Unplug(OpenedModule().path);
    EXPECT_TRUE(ListModules().empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(ListModules().size(), 1U) << "back";
    EXPECT_EQ(StopSequence(), -1) << "the old handle is gone for good";
    EXPECT_EQ(linkCounters.linkFailures, 1U);
    EXPECT_TRUE(ConnectDevice());
    EXPECT_GE(StopSequence(), 0);
}

// --- lumoractl: choosing, listing, watching ---------------------------------------

struct CliChoiceCase {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
    std::wstring packetsTo;  // the serial number every packet went to; empty: none sent
    const char* text;        // on stdout for 0, on stderr otherwise
};

class CliChoosing : public FastPresetTest, public ::testing::WithParamInterface<CliChoiceCase> {};

TEST_P(CliChoosing, OpensTheModuleChosenOrRefusesSendingNothing)
{
    const CliChoiceCase& c = GetParam();
    std::vector<sim::Module> modules = sim::LayoutModules(3, 1, "DUP", false);
    modules[2].serial = L"ONE";
    sim::SetModules(modules);
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run(c.args, out, err), c.exitCode);
    EXPECT_THAT(c.exitCode == 0 ? out.str() : err.str(), ::testing::HasSubstr(c.text));
    EXPECT_EQ(sim::Packets().empty(), c.packetsTo.empty());
    for (const sim::Packet& packet : sim::Packets()) {
        EXPECT_EQ(packet.serial, c.packetsTo);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliChoosing,
    ::testing::Values(
        CliChoiceCase{"NoChoiceTakesTheFirst", {"stop"}, 0, L"DUP", "Stop: sent."},
        CliChoiceCase{"Port", {"--port", "1-3", "stop"}, 0, L"ONE", "Stop: sent."},
        CliChoiceCase{"PortWithEquals", {"--port=1-3", "stop"}, 0, L"ONE", "Stop: sent."},
        CliChoiceCase{"OwnSerial", {"--serial", "ONE", "stop"}, 0, L"ONE", "Stop: sent."},
        CliChoiceCase{"SharedSerial", {"--serial", "DUP", "stop"}, 1, L"",
                      "lumoractl: 2 modules carry the serial DUP (ports 1-1 and 1-2); choose one with --port.\n"},
        CliChoiceCase{"SharedSerialForVideoMode", {"--serial", "DUP", "start"}, 1, L"", "2 modules carry the serial DUP"},
        CliChoiceCase{"NoSuchPort", {"--port", "1-9", "stop"}, 1, L"",
                      "No module is attached at port '1-9'; 'lumoractl list' shows the ports."},
        CliChoiceCase{"NoSuchNode", {"--path", "/dev/hidraw99", "stop"}, 1, L"",
                      "No module has the device node '/dev/hidraw99'; 'lumoractl list' shows the nodes."},
        CliChoiceCase{"EmptySerial", {"--serial", "", "stop"}, 2, L"", "'--serial' needs a serial number"},
        CliChoiceCase{"EmptyPort", {"--port=", "stop"}, 2, L"", "'--port' needs a port"},
        CliChoiceCase{"PathWithoutValue", {"--path"}, 2, L"", "'--path' needs a device node"},
        CliChoiceCase{"PortTwice", {"--port", "1-1", "--port", "1-2", "stop"}, 2, L"", "'--port' is given more than once"},
        CliChoiceCase{"TwoChoices", {"--port", "1-1", "--serial", "ONE", "stop"}, 2, L"",
                      "'--port' and '--serial' do not go together: each chooses the module"}),
    CaseName());

TEST_F(CliChoosing, PathChoosesByAnyNode)
{
    const std::vector<sim::Module> modules = TwoModulesListedBackwards();
    sim::SetModules(modules);
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({"--path", modules[2].path, "connect"}, out, err), cli::kExitOk) << err.str();
    EXPECT_EQ(out.str(), "Connected to the module at " + modules[3].path + " (serial DUP).\n");
}

// Every {key} in text replaced by value.
std::string Filled(std::string text, const std::string& key, const std::string& value)
{
    for (std::size_t at; (at = text.find(key)) != std::string::npos;) {
        text.replace(at, key.size(), value);
    }
    return text;
}

struct ListCase {
    const char* name;
    std::function<std::vector<sim::Module>()> modules;
    std::vector<std::string> args;
    std::string listing;  // {N} stands for the Nth node, {held} for this process as the holder
};

class Listing : public SimTest, public ::testing::WithParamInterface<ListCase> {};

TEST_P(Listing, ShowsEveryModuleOnceForPeopleAndForScripts)
{
    const std::vector<sim::Module> modules = GetParam().modules();
    sim::SetModules(modules);
    const OtherProgram holder(modules.back().path);
    std::string expected = GetParam().listing;
    for (std::size_t i = 0; i < modules.size(); ++i) {
        expected = Filled(expected, "{" + std::to_string(i) + "}", modules[i].path);
    }
    expected = Filled(expected, "{held}", "held by " + OwnProgramName() + " (process " + std::to_string(OwnProcessId()) + ")");
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run(GetParam().args, out, err), cli::kExitOk) << err.str();
    EXPECT_EQ(out.str(), expected);
    EXPECT_EQ(err.str(), "");
}

std::vector<sim::Module> WithStrings()
{
    std::vector<sim::Module> modules = sim::LayoutModules(2, 1, "", false);
    modules[0].serial = L"";
    modules[0].product = L"Caf\u00E9 \"2\"\t\U0001F600";
    modules[1].manufacturer = L"\x1B[2J\\";
    return modules;
}

const std::string kHeader = "PORT\tSERIAL\tPRODUCT\tMANUFACTURER\tSTATE\tNODES\n";
INSTANTIATE_TEST_SUITE_P(
    Cases, Listing,
    ::testing::Values(
        ListCase{"SharedSerials", [] { return sim::LayoutModules(2, 1, "DUP", false); }, {"list"},
                 kHeader + "1-1\tDUP\tProjection Controller\tSimulated\tfree\t{0}\n"
                           "1-2\tDUP\tProjection Controller\tSimulated\t{held}\t{1}\n"},
        ListCase{"TwoInterfacesListedOnce", TwoModulesListedBackwards, {"list"},
                 kHeader + "1-1\tDUP\tProjection Controller\tSimulated\tfree\t{1} {0}\n"
                           "1-2\tDUP\tProjection Controller\tSimulated\t{held}\t{3} {2}\n"},
        // The lock is the command interface's: another node held leaves the module free.
        ListCase{"OnUhid", [] { return sim::LayoutModules(2, 2, "", true); }, {"list"},
                 kHeader + "0000:00:14.0-1\tSIM0001\tProjection Controller\t\tfree\t{0} {1}\n"
                           "0000:00:14.0-2\tSIM0002\tProjection Controller\t\tfree\t{2} {3}\n"},
        ListCase{"StringsMadePrintable", WithStrings, {"list"},
                 kHeader + "1-1\t\tCaf\u00E9 \"2\"\\t\U0001F600\tSimulated\tfree\t{0}\n"
                           "1-2\tSIM0002\tProjection Controller\t\\x1B[2J\\\\\t{held}\t{1}\n"},
        ListCase{"Json", [] { return sim::LayoutModules(2, 2, "DUP", false); }, {"list", "--json"},
                 "[\n"
                 "  {\"port\": \"1-1\", \"serial\": \"DUP\", \"product\": \"Projection Controller\", "
                 "\"manufacturer\": \"Simulated\", \"state\": \"free\", \"nodes\": [\"{0}\", \"{1}\"]},\n"
                 "  {\"port\": \"1-2\", \"serial\": \"DUP\", \"product\": \"Projection Controller\", "
                 "\"manufacturer\": \"Simulated\", \"state\": \"free\", \"nodes\": [\"{2}\", \"{3}\"]}\n"
                 "]\n"},
        ListCase{"JsonEscapesByItsOwnRules", WithStrings, {"list", "--json"},
                 "[\n"
                 "  {\"port\": \"1-1\", \"serial\": \"\", \"product\": \"Caf\\u00e9 \\\"2\\\"\\t\\ud83d\\ude00\", "
                 "\"manufacturer\": \"Simulated\", \"state\": \"free\", \"nodes\": [\"{0}\"]},\n"
                 "  {\"port\": \"1-2\", \"serial\": \"SIM0002\", \"product\": \"Projection Controller\", "
                 "\"manufacturer\": \"\\u001b[2J\\\\\", \"state\": \"{held}\", \"nodes\": [\"{1}\"]}\n"
                 "]\n"}),
    CaseName());

TEST(Json, StringsOfAnyBytesStayValidJson)
{
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "\"plain\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {std::string("nul\0", 4), "\"nul\\u0000\""},
        {"\x7F\xC2\x9B", "\"\\u007f\\u009b\""},
        {"\xE2\x80\xAE", "\"\\u202e\""},
        {"bad \xFF\xC3", "\"bad \\ufffd\\ufffd\""},
        {"\xED\xA0\x80", "\"\\ufffd\\ufffd\\ufffd\""},  // a surrogate is no character
        {"\xF0\x9F\x98\x80", "\"\\ud83d\\ude00\""},
    };
    for (const auto& [text, json] : cases) {
        EXPECT_EQ(JsonString(text), json) << text;
    }
}

TEST_F(SimTest, ListingWithNothingAttachedPrintsNothingAndFails)
{
    sim::SetModuleCount(0);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"list"}, {"list", "--json"}}) {
        std::ostringstream out, err;
        EXPECT_EQ(cli::Run(args, out, err), cli::kExitFailed);
        EXPECT_EQ(out.str(), "");
        EXPECT_EQ(err.str(), "lumoractl: No module attached (USB 0451:6401).\n");
    }
}

TEST_F(SimTest, AModuleThisUserMayNotOpenIsListedSo)
{
    ScratchDirectory scratch;
    sim::Module module = sim::DefaultModule(0);
    module.path = (scratch.Path() / "hidraw7").string();
    std::ofstream(module.path).put('\n');
    std::filesystem::permissions(module.path, std::filesystem::perms::none);
    if (::access(module.path.c_str(), R_OK) == 0) {
        GTEST_SKIP() << "this user may open any file";
    }
    sim::SetModules({module});
    EXPECT_EQ(ModuleState(ListModules().at(0)), "not accessible");
}

// --- Modules coming and going ---------------------------------------------------

struct Step {
    bool add;
    std::string node;
    std::string port;
};

struct AttachCase {
    const char* name;
    std::vector<Step> steps;
    std::vector<ModuleChange> changes;
    std::vector<std::string> ports;  // attached at the end
};

class Attaching : public ::testing::TestWithParam<AttachCase> {};

TEST_P(Attaching, AModuleComesWithItsFirstNodeAndGoesWithItsLast)
{
    AttachedNodes attached;
    std::vector<ModuleChange> changes;
    for (const Step& step : GetParam().steps) {
        const std::vector<ModuleChange> made = step.add ? attached.Add(step.node, step.port) : attached.Remove(step.node);
        changes.insert(changes.end(), made.begin(), made.end());
    }
    EXPECT_EQ(changes, GetParam().changes);
    EXPECT_EQ(attached.Ports(), GetParam().ports);
}

const auto Plugged = ModuleChange::Kind::Plugged;
const auto Unplugged = ModuleChange::Kind::Unplugged;
INSTANTIATE_TEST_SUITE_P(
    Sequences, Attaching,
    ::testing::Values(
        AttachCase{"TwoInterfacesComeAndGo",
                   {{true, "n0", "1-2"}, {true, "n1", "1-2"}, {false, "n1", ""}, {false, "n0", ""}},
                   {{Plugged, "1-2"}, {Unplugged, "1-2"}},
                   {}},
        AttachCase{"ANodeSeenTwice", {{true, "n0", "1-2"}, {true, "n0", "1-2"}}, {{Plugged, "1-2"}}, {"1-2"}},
        AttachCase{"AnotherDevicesNodeGoes", {{true, "n0", "1-2"}, {false, "n9", ""}}, {{Plugged, "1-2"}}, {"1-2"}},
        AttachCase{"ANodeMoves", {{true, "n0", "1-2"}, {true, "n0", "1-3"}},
                   {{Plugged, "1-2"}, {Unplugged, "1-2"}, {Plugged, "1-3"}},
                   {"1-3"}},
        AttachCase{"WithoutAPortANodeIsAModule", {{true, "n0", ""}, {true, "n1", ""}, {false, "n0", ""}},
                   {{Plugged, "n0"}, {Plugged, "n1"}, {Unplugged, "n0"}},
                   {"n1"}},
        AttachCase{"AReplugUnderAnotherNode",
                   {{true, "n0", "1-2"}, {true, "n1", "1-3"}, {false, "n0", ""}, {true, "n5", "1-2"}},
                   {{Plugged, "1-2"}, {Plugged, "1-3"}, {Unplugged, "1-2"}, {Plugged, "1-2"}},
                   {"1-3", "1-2"}}),
    CaseName());

// Waits up to a second for the watcher's descriptor; whether it became readable.
bool Readable(const ModuleWatcher& watcher, int milliseconds = 1000)
{
    pollfd events{watcher.Fd(), POLLIN, 0};
    return ::poll(&events, 1, milliseconds) == 1;
}

using Watching = SimTest;

TEST_F(Watching, SeesAModuleOfTwoInterfacesGoAndComeBack)
{
    sim::SetModules(sim::LayoutModules(2, 2, "", false));
    ModuleWatcher watcher;
    ASSERT_TRUE(watcher.Start()) << watcher.Error();
    EXPECT_THAT(watcher.Ports(), ElementsAre("1-1", "1-2"));
    EXPECT_FALSE(Readable(watcher, 0));
    EXPECT_TRUE(watcher.Changes().empty());

    sim::ReplugAfter(std::chrono::milliseconds(50));
    sim::Unplug(sim::LayoutModules(2, 2, "", false)[3].path);  // the second module's interface 1
    ASSERT_TRUE(Readable(watcher, 0));
    EXPECT_THAT(watcher.Changes(), ElementsAre(ModuleChange{Unplugged, "1-2"}));
    EXPECT_THAT(watcher.Ports(), ElementsAre("1-1"));
    EXPECT_FALSE(Readable(watcher, 0)) << "read empty";

    ASSERT_TRUE(Readable(watcher)) << "the replug wakes the watcher by itself";
    EXPECT_THAT(watcher.Changes(), ElementsAre(ModuleChange{Plugged, "1-2"}));
    EXPECT_THAT(watcher.Ports(), ElementsAre("1-1", "1-2"));
}

TEST_F(Watching, AnUnplugAndReplugBetweenTwoLooksShowsAsBoth)
{
    ModuleWatcher watcher;
    ASSERT_TRUE(watcher.Start());
    sim::ReplugAfter(std::chrono::milliseconds(1));
    sim::Unplug(sim::DefaultModule(0).path);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_THAT(watcher.Changes(), ElementsAre(ModuleChange{Unplugged, "1-1"}, ModuleChange{Plugged, "1-1"}));
}

TEST_F(Watching, SeesTheOpenModuleVanishMidAction)
{
    ModuleWatcher watcher;
    ASSERT_TRUE(watcher.Start());
    Connect();
    sim::VanishAfter(1);
    StopSequence();
    EXPECT_THAT(watcher.Changes(), ElementsAre(ModuleChange{Unplugged, "1-1"}));
    EXPECT_EQ(ModuleUnplugged("1-1").text, "The module at port 1-1 was unplugged.");
}

TEST_F(SimTest, WatchPrintsEachChangeUntilEnough)
{
    sim::SetModules(sim::LayoutModules(1, 2, "", true));
    sim::UnplugAfter(std::chrono::milliseconds(30));
    sim::ReplugAfter(std::chrono::milliseconds(30));
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({"watch", "--changes", "2", "--seconds", "10"}, out, err), cli::kExitOk) << err.str();
    EXPECT_EQ(out.str(), "unplugged\t0000:00:14.0-1\nplugged\t0000:00:14.0-1\n");

    std::ostringstream late, lateErr;
    EXPECT_EQ(cli::Run({"watch", "--changes=1", "--seconds=1"}, late, lateErr), cli::kExitFailed);
    EXPECT_EQ(late.str(), "");
    EXPECT_EQ(lateErr.str(), "lumoractl: only 0 of 1 changes came within 1 s\n");

    std::ostringstream bad, badErr;
    EXPECT_EQ(cli::Run({"watch", "--changes", "0"}, bad, badErr), cli::kExitUsage);
    EXPECT_THAT(badErr.str(), ::testing::HasSubstr("the number of changes must be a whole number from 1"));
}

}  // namespace
