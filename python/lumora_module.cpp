// lumora._lumora: the compiled part of the Python module. Lab scripts run
// the same actions as lumoractl, through the same core: the argument rules,
// the command runs, the module lock and the outcome texts are the core's.
// This file only converts between Python and the core, keeps track of which
// Rig holds the link, and raises the outcome of a failed action as the
// matching exception of lumora/__init__.py.
#include "actions/action.h"
#include "actions/module_listing.h"
#include "actions/outcome.h"
#include "actions/serial.h"
#include "connection/connection.h"
#include "connection/diagnosis.h"
#include "link/utf8.h"
#include "patterns/sequence_listing.h"
#include "lumora_version.h"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <pthread.h>
#include <signal.h>

namespace py = pybind11;
using namespace lumora;

namespace {

// The link is process-wide and not thread-safe. Every call that reaches the
// HID library or the link's state runs with this mutex held, taken after the
// GIL is released: a thread that waits for the link never holds the GIL, and
// the thread on the link never waits for the GIL.
std::mutex linkMutex;
// The Rig that holds the link, by number; 0 when none. Guarded by linkMutex.
unsigned long long openRig = 0;
unsigned long long rigsOpened = 0;

// Runs work on the link without the GIL. Returns what work returns.
template <class Work>
auto OnLink(Work work)
{
    const py::gil_scoped_release released;
    const std::lock_guard lock(linkMutex);
    return work();
}

// How often a waiting call looks for Ctrl-C.
constexpr std::chrono::milliseconds kSignalPoll{50};

// Runs an action's work on the link on a thread of its own, while this
// thread, holding the GIL only between waits, lets Python's signal handlers
// run every 50 ms. A handler that raises (Ctrl-C: KeyboardInterrupt) cancels
// the action, which ends within a read slice; its exception is left in
// `raised` to be raised once the work is done. Returns what work returns.
template <class Work>
auto OnLinkCancellable(Work work, std::optional<py::error_already_set>& raised)
{
    std::optional<decltype(work())> result;
    std::mutex doneMutex;
    std::condition_variable doneChanged;
    bool done = false;
    std::thread worker([&] {
        // Python's handlers run on its main thread; a signal taken here would
        // interrupt a read of the hidraw node, and the library would report
        // the link as broken.
        sigset_t signals;
        sigfillset(&signals);
        for (const int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) {
            sigdelset(&signals, fault);
        }
        ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
        {
            const std::lock_guard lock(linkMutex);
            ClearCancel();
            result.emplace(work());
        }
        const std::lock_guard lock(doneMutex);
        done = true;
        doneChanged.notify_one();
    });
    for (;;) {
        {
            const py::gil_scoped_release released;
            std::unique_lock lock(doneMutex);
            if (doneChanged.wait_for(lock, kSignalPoll, [&] { return done; })) {
                break;
            }
        }
        if (!raised && PyErr_CheckSignals() != 0) {
            raised.emplace();  // takes the error the handler raised
            RequestCancel();
        }
    }
    {
        const py::gil_scoped_release released;
        worker.join();
    }
    return std::move(*result);
}

// A file name or a device node's path, as Python decodes and encodes file
// names (bytes that are not UTF-8 survive the round trip).
py::str FileName(const std::string& name)
{
    PyObject* text = PyUnicode_DecodeFSDefaultAndSize(name.data(), static_cast<Py_ssize_t>(name.size()));
    if (text == nullptr) {
        throw py::error_already_set();
    }
    return py::reinterpret_steal<py::str>(text);
}

// A str, bytes or os.PathLike as the file name the core opens.
std::string EncodeFileName(const py::object& path)
{
    return py::module_::import("os").attr("fsencode")(path).cast<std::string>();
}

// Raises the exception class of lumora/__init__.py named className, built
// with the arguments given.
template <class... Args>
[[noreturn]] void Raise(const char* className, Args&&... args)
{
    const py::object type = py::module_::import("lumora").attr(className);
    const py::object error = type(std::forward<Args>(args)...);
    PyErr_SetObject(type.ptr(), error.ptr());
    throw py::error_already_set();
}

// The exception for each failure the core tells apart. A module that could
// not be opened for another reason raises the base class.
const char* ExceptionFor(Problem problem)
{
    switch (problem) {
    case Problem::NotConnected:
    case Problem::LinkFailed:
        return "LinkFailed";
    case Problem::NoModule:
        return "NoModule";
    case Problem::NotAccessible:
        return "NotAccessible";
    case Problem::ModuleBusy:
        return "ModuleBusy";
    case Problem::Refused:
        return "Refused";
    case Problem::TableCheckFailed:
        return "TableCheckFailed";
    case Problem::SequenceFile:
        return "SequenceFileError";
    case Problem::Cancelled:
        return "Cancelled";
    case Problem::InvalidArgument:  // the module checks arguments first and raises ValueError
    case Problem::OpenFailed:
    case Problem::None:
        break;
    }
    return "Error";
}

// The outcome, when the action went through (with or without warnings);
// otherwise its exception, carrying the same line and the advice.
Outcome Returned(Outcome outcome, const Action& action)
{
    if (outcome.severity != Severity::Failure) {
        return outcome;
    }
    if (outcome.problem == Problem::SequenceFile) {
        Raise("SequenceFileError", outcome.text, py::arg("file") = FileName(action.sequenceName));
    }
    Raise(ExceptionFor(outcome.problem), outcome.text, py::arg("advice") = outcome.advice);
}

// Reads and checks a sequence file (a str, bytes or os.PathLike) without the
// GIL. Returns its action, or raises SequenceFileError with every error.
SequenceRequest ReadSequence(const py::object& path)
{
    const std::string file = EncodeFileName(path);
    SequenceRequest request;
    {
        const py::gil_scoped_release released;
        request = ReadSequenceAction(file);
    }
    if (request.errors.empty()) {
        return request;
    }
    std::string text;
    for (const std::string& line : request.errorLines) {
        text += (text.empty() ? "" : "\n") + line;
    }
    Raise("SequenceFileError", text, py::arg("file") = FileName(request.errors.front().file),
          py::arg("errors") = request.errors);
}

// A number argument as the core's rules see it. A Python int, or an object
// that stands for one (a NumPy integer), within the range of a C int is
// checked by the rule; anything else (a bool, a float, a string, an int
// beyond a C int) is refused in the rule's words with what was given.
struct Number {
    int value;
    std::optional<std::string> refused;  // what was given, when it is no C int
};

// Stands in for an argument that is no C int: outside every rule's range.
constexpr int kNoNumber = INT_MIN;

Number ToNumber(const py::handle& given)
{
    if (!PyBool_Check(given.ptr()) && PyIndex_Check(given.ptr())) {
        const py::int_ integer = py::reinterpret_steal<py::int_>(PyNumber_Index(given.ptr()));
        if (!integer) {
            throw py::error_already_set();
        }
        int overflow = 0;
        const long value = PyLong_AsLongAndOverflow(integer.ptr(), &overflow);
        if (overflow == 0 && value >= INT_MIN && value <= INT_MAX) {
            return {static_cast<int>(value), std::nullopt};
        }
        return {kNoNumber, py::repr(integer).cast<std::string>()};  // an int reads the same either way
    }
    return {kNoNumber, py::str(given).cast<std::string>()};
}

// Raises ValueError with the first problem of the action's arguments, in the
// order and words the core checks them in; numbers names each argument's rule
// and what was given for it, so that an argument that is no C int is named as
// it was given.
void CheckArguments(const Action& action, std::initializer_list<std::pair<const NumberRule*, const Number*>> numbers)
{
    const RuleBreak broken = BrokenRule(action);
    if (!broken) {
        return;
    }
    for (const auto& [rule, number] : numbers) {
        if (rule == broken.rule && number->refused) {
            throw py::value_error(NumberProblem(*rule, *number->refused));
        }
    }
    throw py::value_error(ArgumentProblem(action));
}

// The module that connect() opened, while it is the process's open module.
// The link is process-wide; a Rig knows only its number, so that a closed
// Rig never reaches the module of a later one.
class Rig {
public:
    Rig(unsigned long long number, OpenModule module) : number_(number), module_(std::move(module)) {}
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;
    ~Rig() { Close(); }

    // Runs the action on the module this Rig opened. Returns its outcome or
    // raises it.
    Outcome Run(const Action& action)
    {
        std::optional<py::error_already_set> interrupt;
        auto [outcome, module] = OnLinkCancellable(
            [&] {
                if (openRig != number_) {
                    return std::pair(NoModuleOpen(Audience::Script), std::optional<OpenModule>());
                }
                const ActionRecord record = RunAction(action);
                Outcome concluded = ConcludeAction(action, record, Audience::Script);
                return std::pair(std::move(concluded), std::optional<OpenModule>(record.module));
            },
            interrupt);
        if (module && !module->path.empty()) {
            module_ = std::move(*module);  // video mode opens the module afresh
        }
        if (interrupt && !interrupt->matches(PyExc_KeyboardInterrupt)) {
            throw std::move(*interrupt);  // another handler's exception, as it was
        }
        if (interrupt) {
            Raise("Cancelled", outcome.text, py::arg("outcome") = outcome);
        }
        return Returned(std::move(outcome), action);
    }

    Outcome Simple(ActionKind kind) { return Run(Action{kind}); }

    Outcome Preset(ActionKind kind, const py::handle& frequency, const py::handle& first = py::none(),
                   const py::handle& last = py::none())
    {
        const Number hz = ToNumber(frequency);
        const Number m = first.is_none() ? Number{0, {}} : ToNumber(first);
        const Number n = last.is_none() ? Number{0, {}} : ToNumber(last);
        Action action{kind};
        action.frequency = hz.value;
        action.first = m.value;
        action.last = n.value;
        const NumberRule& firstRule = kind == ActionKind::OnePicture ? kPictureRule : kFirstRule;
        CheckArguments(action, {{&kFrequencyRule, &hz}, {&firstRule, &m}, {&kLastRule, &n}});
        return Run(action);
    }

    Outcome Leds(const py::handle& red, const py::handle& green, const py::handle& blue)
    {
        const Number r = ToNumber(red);
        const Number g = ToNumber(green);
        const Number b = ToNumber(blue);
        Action action{ActionKind::Leds};
        action.leds = {r.value, g.value, b.value};
        CheckArguments(action, {{&kRedRule, &r}, {&kGreenRule, &g}, {&kBlueRule, &b}});
        return Run(action);
    }

    Outcome Sequence(const py::object& path, bool startAnyway)
    {
        SequenceRequest request = ReadSequence(path);
        request.action.startAnyway = startAnyway;
        return Run(request.action);
    }

    // Closes the module and releases the HID library, once; a Rig that no
    // longer holds the link leaves it alone.
    void Close()
    {
        OnLink([this] {
            if (openRig == number_) {
                ReleaseDevice();
                openRig = 0;
            }
        });
    }

    const OpenModule& Module() const { return module_; }

private:
    unsigned long long number_;
    OpenModule module_;  // as opened; the path and serial shown
};

// A serial number as the bytes the core checks: a str as UTF-8 with any lone
// surrogate kept (so that the core refuses it in its own words), bytes as
// they are, None as "" (the first module found).
std::string SerialBytes(const py::object& serial)
{
    if (serial.is_none()) {
        return "";
    }
    if (PyUnicode_Check(serial.ptr())) {
        PyObject* bytes = PyUnicode_AsEncodedString(serial.ptr(), "utf-8", "surrogatepass");
        if (bytes == nullptr) {
            throw py::error_already_set();
        }
        return py::reinterpret_steal<py::bytes>(bytes).cast<std::string>();
    }
    if (PyBytes_Check(serial.ptr())) {
        return serial.cast<std::string>();
    }
    throw py::type_error("the serial number must be a str or None, not " +
                         py::str(py::type::of(serial).attr("__name__")).cast<std::string>());
}

// Text of ours that may hold bytes from outside (a program's name), as str.
py::str Text(const std::string& text)
{
    PyObject* decoded = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
    if (decoded == nullptr) {
        throw py::error_already_set();
    }
    return py::reinterpret_steal<py::str>(decoded);
}

// The module that connect()'s arguments choose, at most one of them given;
// raises ValueError, in the words lumoractl uses for its options, for an
// empty one or for two.
ModuleChoice Choice(const py::object& serial, const std::optional<std::string>& port, const py::object& path)
{
    const std::pair<const char*, ModuleChoice> given[] = {
        {"serial", {ModuleChoice::By::Serial, SerialBytes(serial)}},
        {"port", {ModuleChoice::By::Port, port.value_or("")}},
        {"path", {ModuleChoice::By::Path, path.is_none() ? "" : EncodeFileName(path)}},
    };
    const bool present[] = {!serial.is_none(), port.has_value(), !path.is_none()};
    const char* chosenBy = nullptr;
    ModuleChoice choice;
    for (std::size_t i = 0; i < std::size(given); ++i) {
        if (!present[i]) {
            continue;
        }
        if (chosenBy != nullptr) {
            throw py::value_error(ChoicesConflict(chosenBy, given[i].first));
        }
        if (given[i].second.value.empty()) {
            throw py::value_error(ChoiceNeedsValue(given[i].first, given[i].second.by));
        }
        chosenBy = given[i].first;
        choice = given[i].second;
    }
    return choice;
}

std::unique_ptr<Rig> Connect(const py::object& serial, const std::optional<std::string>& port, const py::object& path)
{
    const ModuleChoice choice = Choice(serial, port, path);
    const Action connect{ActionKind::Connect};
    struct Opened {
        bool alreadyOpen = false;
        std::string unusableSerial;
        Outcome outcome;
        OpenModule module;
        unsigned long long number = 0;
    };
    Opened opened = OnLink([&] {
        Opened result;
        if (openRig != 0) {
            result.alreadyOpen = true;
            return result;
        }
        result.unusableSerial = SelectChoice(choice);
        if (!result.unusableSerial.empty()) {
            return result;
        }
        result.outcome = ConcludeAction(connect, RunAction(connect), Audience::Script);
        if (result.outcome.severity != Severity::Failure) {
            result.module = OpenedModule();
            result.number = openRig = ++rigsOpened;
            // Video mode reopens this module, not whichever comes first.
            SelectModule(ChoiceOf(result.module));
        }
        return result;
    });
    if (opened.alreadyOpen) {
        Raise("Error", "This process has a module open already (one at a time); close its Rig first.");
    }
    if (!opened.unusableSerial.empty()) {
        throw py::value_error(opened.unusableSerial);
    }
    Returned(opened.outcome, connect);
    return std::make_unique<Rig>(opened.number, opened.module);
}

struct ModuleEntry {
    std::string port;
    py::str path;
    py::list nodes;
    std::string serial;
    std::string manufacturer;
    std::string product;
    py::str state;
};

std::vector<ModuleEntry> List()
{
    const auto [modules, states] = OnLink([] {
        std::vector<ModuleInfo> listed = ListModules();
        std::vector<std::string> stateOf;
        for (const ModuleInfo& module : listed) {
            stateOf.push_back(ModuleState(module));
        }
        return std::pair(std::move(listed), std::move(stateOf));
    });
    std::vector<ModuleEntry> entries;
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const ModuleInfo& module = modules[i];
        py::list nodes;
        for (const ModuleInterface& interface : module.interfaces) {
            nodes.append(FileName(interface.path));
        }
        entries.push_back({module.port, FileName(module.path), nodes, module.serial, module.manufacturer,
                           module.product, Text(states[i])});
    }
    return entries;
}

SequenceListing Check(const py::object& path)
{
    const SequenceRequest request = ReadSequence(path);
    const py::gil_scoped_release released;
    return ListSequence(*request.action.sequence);
}

py::bytes Bytes(const std::vector<std::uint8_t>& bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::string Quoted(const std::string& text) { return py::repr(py::str(text)).cast<std::string>(); }

}  // namespace

PYBIND11_MODULE(_lumora, m)
{
    m.doc() = "The compiled part of lumora; use the package lumora.";
    m.attr("__version__") = kLumoraVersion;

    py::class_<Outcome>(m, "Outcome", "What an action came to, when it went through.")
        .def_property_readonly(
            "ok", [](const Outcome& o) { return o.severity == Severity::Ok; },
            "True when the action went through with nothing to warn about.")
        .def_readonly("text", &Outcome::text, "One line, as lumoractl prints it.")
        .def_readonly("warnings", &Outcome::warnings, "What the operator should know, one line each.")
        .def("__str__", [](const Outcome& o) { return o.text; })
        .def("__repr__", [](const Outcome& o) {
            return "<lumora.Outcome ok=" + std::string(o.severity == Severity::Ok ? "True" : "False") +
                   " text=" + Quoted(o.text) + ">";
        });

    py::class_<ModuleEntry>(m, "ModuleInfo", "An attached module: a USB device, with the HID interfaces it shows.")
        .def_readonly("port", &ModuleEntry::port,
                      "Where it is plugged in, such as '1-2.3'; the same after a replug into the same socket.")
        .def_readonly("path", &ModuleEntry::path, "The node of its command interface, through which it is driven.")
        .def_readonly("nodes", &ModuleEntry::nodes, "The hidraw nodes of its interfaces, the command interface's first.")
        .def_readonly("serial", &ModuleEntry::serial, "Its serial number; empty when it gives none.")
        .def_readonly("manufacturer", &ModuleEntry::manufacturer)
        .def_readonly("product", &ModuleEntry::product)
        .def_readonly("state", &ModuleEntry::state,
                      "'free', 'held by lumoractl (process 4242)', 'held by another program' or 'not accessible'.")
        .def("__repr__", [](const ModuleEntry& e) {
            return "<lumora.ModuleInfo port=" + Quoted(e.port) + " path=" + py::repr(e.path).cast<std::string>() +
                   " serial=" + Quoted(e.serial) + ">";
        });

    py::class_<SequenceError>(m, "SequenceError", "One error of a sequence file.")
        .def_property_readonly(
            "file", [](const SequenceError& e) { return FileName(e.file); }, "The file, as it was named.")
        .def_readonly("line", &SequenceError::line, "From 1; 0 when the error concerns the whole file.")
        .def_readonly("column", &SequenceError::column, "From 1; 0 with line 0.")
        .def_readonly("key", &SequenceError::key, "The key at fault, such as 'pattern[2].bits'; empty when none.")
        .def_readonly("message", &SequenceError::message, "What is wrong.")
        .def("__str__", [](const SequenceError& e) { return FormatSequenceError(e); })
        .def("__repr__", [](const SequenceError& e) { return "<lumora.SequenceError " + FormatSequenceError(e) + ">"; });

    py::class_<ListedEntry>(m, "PatternEntry", "One entry of the pattern look-up table, decoded from its word.")
        .def_readonly("entry", &ListedEntry::entry, "From 0.")
        .def_readonly("image", &ListedEntry::image, "The flash image it is shown from.")
        .def_property_readonly("pattern", [](const ListedEntry& e) { return e.fields.patternNumber; })
        .def_property_readonly("bits", [](const ListedEntry& e) { return e.fields.bitDepth; })
        .def_property_readonly(
            "color", [](const ListedEntry& e) { return std::string(ColourName(e.fields.ledSelect)); },
            "As a sequence file names it: 'white', 'blue', ...")
        .def_property_readonly("invert", [](const ListedEntry& e) { return e.fields.invertPattern; })
        .def_property_readonly("black", [](const ListedEntry& e) { return e.fields.insertBlack; })
        .def_property_readonly(
            "swap", [](const ListedEntry& e) { return e.fields.bufferSwap; },
            "The controller moves on to the next image LUT entry here.")
        .def_readonly("word", &ListedEntry::word, "The 24-bit word the controller is sent.");

    py::class_<RunListingLine>(m, "Packet", "One packet of a command run, as the controller receives it.")
        .def_property_readonly(
            "command", [](const RunListingLine& l) { return std::string(CommandNames[l.packet.command]); },
            "The command's name, such as 'CmdLedEnable'.")
        .def_property_readonly(
            "read_request", [](const RunListingLine& l) { return l.packet.readRequest; },
            "The status read request rather than a write.")
        .def_property_readonly("payload", [](const RunListingLine& l) { return Bytes(l.packet.payload); })
        .def_readonly("behind_gate", &RunListingLine::behindGate,
                      "Sent only when the controller accepts the tables, or when started anyway.")
        .def_readonly("after_pause", &RunListingLine::afterPause, "The one-second pause comes just before it.")
        .def("__str__", [](const RunListingLine& l) { return DescribePacket(l.packet); })
        .def("__repr__", [](const RunListingLine& l) { return "<lumora.Packet " + DescribePacket(l.packet) + ">"; });

    py::class_<SequenceListing>(m, "SequenceListing",
                                "Both tables of a sequence file, decoded, and the command run that sends them.")
        .def_readonly("exposure_us", &SequenceListing::exposureUs)
        .def_readonly("period_us", &SequenceListing::periodUs)
        .def_readonly("repeat", &SequenceListing::repeat)
        .def_readonly("entries", &SequenceListing::entries, "The pattern look-up table.")
        .def_readonly("images", &SequenceListing::images, "The image look-up table, in the order it is sent.")
        .def_readonly("run", &SequenceListing::run, "Every packet, in order.")
        .def("__str__", [](const SequenceListing& l) { return RenderSequenceListing(l); },
             "The listing that 'lumoractl sequence --check' prints.");

    py::class_<Rig>(m, "Rig", "The open module. Made by connect(); one per process.")
        .def_property_readonly(
            "path", [](const Rig& r) { return FileName(r.Module().path); }, "The module's device node.")
        .def_property_readonly(
            "serial", [](const Rig& r) { return r.Module().serial; }, "Its serial number; empty when it gives none.")
        .def_property_readonly(
            "port", [](const Rig& r) { return r.Module().port; }, "Where it is plugged in; empty when the system does not tell.")
        .def("start_video_mode", [](Rig& r) { return r.Simple(ActionKind::StartVideoMode); },
             "Opens the module afresh and puts it back into video mode.")
        .def("pause", [](Rig& r) { return r.Simple(ActionKind::Pause); }, "Pauses the running pattern sequence.")
        .def("stop", [](Rig& r) { return r.Simple(ActionKind::Stop); }, "Stops the running pattern sequence.")
        .def(
            "project_full_fringes",
            [](Rig& r, const py::object& frequency) { return r.Preset(ActionKind::FullFringes, frequency); },
            py::arg("frequency") = kDefaultFrequency,
            "Projects the full fringe set (31 patterns) at 1 to 120 Hz; returns after its one-second start pause.")
        .def(
            "project_range",
            [](Rig& r, const py::object& first, const py::object& last, const py::object& frequency) {
                return r.Preset(ActionKind::Range, frequency, first, last);
            },
            py::arg("first"), py::arg("last"), py::arg("frequency") = kDefaultFrequency,
            "Projects pictures first to last (1 to 31, first not above last) at 1 to 120 Hz.")
        .def(
            "project_picture",
            [](Rig& r, const py::object& picture, const py::object& frequency) {
                return r.Preset(ActionKind::OnePicture, frequency, picture);
            },
            py::arg("picture"), py::arg("frequency") = kDefaultFrequency,
            "Projects one picture (1 to 31) at 1 to 120 Hz.")
        .def("project_cross", [](Rig& r) { return r.Simple(ActionKind::Cross); }, "Projects the fixed cross.")
        .def("leds", &Rig::Leds, py::arg("red"), py::arg("green"), py::arg("blue"),
             "Sets the LED currents (0 to 255 each) of the running sequence.")
        .def("run_sequence", &Rig::Sequence, py::arg("path"), py::arg("start_anyway") = false,
             "Reads and checks a sequence file (\"-\": standard input), then sends it; it starts only when the "
             "controller accepts its tables, unless start_anyway.")
        .def("close", &Rig::Close, "Closes the module and frees it for other programs; a second close does nothing.")
        .def("__enter__", [](py::object self) { return self; })
        .def(
            "__exit__",
            [](Rig& r, const py::object&, const py::object&, const py::object&) {
                r.Close();
                return false;
            },
            "Closes the module, also when the block ends in an exception.")
        .def("__repr__", [](const Rig& r) {
            return "<lumora.Rig path=" + py::repr(FileName(r.Module().path)).cast<std::string>() +
                   " serial=" + Quoted(r.Module().serial) + ">";
        });

    m.def("connect", &Connect, py::arg("serial") = py::none(), py::arg("port") = py::none(), py::arg("path") = py::none(),
          "Opens and locks the module chosen by its serial number, its port or one of its nodes (at most one of them; "
          "the first module found when none) and returns its Rig. A serial number that several modules carry is "
          "refused.");
    m.def("list_modules", &List, "The attached modules, in the order the HID library lists them.");
    m.def("check_sequence", &Check, py::arg("path"),
          "Reads and checks a sequence file without a module; returns both tables decoded and the command run.");
}
