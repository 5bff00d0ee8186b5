#include "cli/cli.h"

#include "actions/action.h"
#include "actions/module_listing.h"
#include "actions/outcome.h"
#include "actions/serial.h"
#include "cli/trace.h"
#include "connection/connection.h"
#include "connection/diagnosis.h"
#include "connection/module_watcher.h"
#include "link/printable.h"
#include "lumora_udev_rule.h"
#include "lumora_version.h"
#include "patterns/sequence_listing.h"

#include <cctype>
#include <cerrno>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstring>
#include <optional>

namespace lumora::cli {

namespace {

using Args = std::vector<std::string>;

// What a command does once its arguments are checked.
enum class Work {
    Connect,    // open the module and say so
    Action,     // open the module, then run the command's action
    OwnOpen,    // run the action, which opens the module itself
    Sequence,   // read and check a sequence file; list it, or open the module and run it
    List,
    Watch,
    UdevRule,
};

constexpr std::string_view kCheck = "--check";
constexpr std::string_view kStartAnyway = "--start-anyway";
constexpr std::string_view kJson = "--json";
constexpr std::string_view kChanges = "--changes";
constexpr std::string_view kSeconds = "--seconds";

const NumberRule kChangesRule = {"the number of changes", 1, 1000000};
const NumberRule kSecondsRule = {"the time (s)", 1, 86400};

// An option of a command that takes a whole number: "--changes 2" or
// "--changes=2".
struct ValueOption {
    std::string_view name;
    const NumberRule* rule;
};

// The options that choose the module, before the command; at most one.
struct ChoiceOption {
    std::string_view name;
    ModuleChoice::By by;
};
constexpr ChoiceOption kChoiceOptions[] = {
    {"--serial", ModuleChoice::By::Serial},
    {"--port", ModuleChoice::By::Port},
    {"--path", ModuleChoice::By::Path},
};

struct Command {
    std::string_view name;
    std::string_view arguments;
    std::string_view summary;
    Work work;
    ActionKind action;
    bool takesFrequency;
    std::vector<const NumberRule*> positional;
    std::vector<std::string_view> flags = {};  // options that take no value
    bool takesFile = false;                    // one FILE after the numbers
    std::vector<ValueOption> values = {};      // options that take a number
};

// What a command was given besides its action's numbers.
struct Given {
    std::vector<std::string_view> flags;
    std::string file;
    std::vector<std::pair<std::string_view, int>> numbers;  // of its value options
    bool Has(std::string_view flag) const { return std::find(flags.begin(), flags.end(), flag) != flags.end(); }
    // The number given with the option; 0 when it was not given.
    int Number(std::string_view option) const
    {
        for (const auto& [name, value] : numbers) {
            if (name == option) {
                return value;
            }
        }
        return 0;
    }
};

const std::vector<Command>& Commands()
{
    static const std::vector<Command> commands = {
        {"connect", "", "open the module; exit 0 when it is there", Work::Connect, ActionKind::Connect, false, {}},
        {"start", "", "put the module back into video mode", Work::OwnOpen, ActionKind::StartVideoMode, false,
         {}, {kCheck}},
        {"pause", "", "pause the running pattern sequence", Work::Action, ActionKind::Pause, false, {},
         {kCheck}},
        {"stop", "", "stop the running pattern sequence", Work::Action, ActionKind::Stop, false, {}, {kCheck}},
        {"fringes", "[-f HZ]", "project the full fringe set (31 patterns)", Work::Action,
         ActionKind::FullFringes, true, {}, {kCheck}},
        {"range", "[-f HZ] M N", "project pictures M to N (1 to 31)", Work::Action, ActionKind::Range, true,
         {&kFirstRule, &kLastRule}, {kCheck}},
        {"picture", "[-f HZ] P", "project picture P (1 to 31)", Work::Action, ActionKind::OnePicture, true,
         {&kPictureRule}, {kCheck}},
        {"cross", "", "project the fixed cross", Work::Action, ActionKind::Cross, false, {}, {kCheck}},
        {"leds", "R G B", "set the LED currents of the running sequence (0 to 255)", Work::Action,
         ActionKind::Leds, false, {&kRedRule, &kGreenRule, &kBlueRule}, {kCheck}},
        {"sequence", "[--check] [--start-anyway] FILE", "check a sequence file, then run it (FILE - reads stdin)",
         Work::Sequence, ActionKind::Sequence, false, {}, {kCheck, kStartAnyway}, true},
        {"list", "[--json]", "list the attached modules, one a line (--json: as JSON)",
         Work::List, ActionKind::Connect, false, {}, {kJson}},
        {"watch", "[--changes N] [--seconds S]", "print a line as each module is plugged in or unplugged",
         Work::Watch, ActionKind::Connect, false, {}, {}, false, {{kChanges, &kChangesRule}, {kSeconds, &kSecondsRule}}},
        {"udev-rule", "", "print the udev rule that gives access to a module", Work::UdevRule, ActionKind::Connect,
         false, {}},
    };
    return commands;
}

void PrintHelp(std::ostream& out)
{
    out << "Usage: lumoractl [--port P | --path NODE | --serial S] [--trace] [--]\n"
           "                 COMMAND [ARGUMENTS]\n"
           "       lumoractl --help | --version\n"
           "\n"
           "Drives the projection module's controller over USB HID.\n"
           "\n"
           "Commands:\n";
    for (const Command& command : Commands()) {
        std::string head = std::string(command.name);
        if (!command.arguments.empty()) {
            head += " " + std::string(command.arguments);
        }
        if (head.size() > 21) {
            out << "  " << head << "\n" << std::string(24, ' ') << command.summary << "\n";
        } else {
            out << "  " << head << std::string(22 - head.size(), ' ') << command.summary << "\n";
        }
    }
    out << "\n"
           "Options:\n"
           "  -f, --frequency HZ    pattern frequency, 1 to 120 Hz (default 10)\n"
           "  --port P              open the module plugged in at port P, such as 1-2.3\n"
           "  --path NODE           open the module one of whose hidraw nodes is NODE\n"
           "  --serial S            open the module with serial number S; refused when\n"
           "                        several modules carry it ('list' shows the ports)\n"
           "  --trace               print every report written and read, decoded, to stderr\n"
           "  --check               after any command that sends: print its command run (and\n"
           "                        the tables it uploads) and send nothing\n"
           "  --start-anyway        sequence: start even when the controller rejects the tables\n"
           "  --json                list: one JSON array instead of the table\n"
           "  --changes N           watch: end after N changes\n"
           "  --seconds S           watch: end after S seconds (exit 1 short of N changes)\n"
           "  --                    ends the options\n"
           "\n"
           "A sequence file is TOML: exposure_us and period_us (or frequency_hz), repeat,\n"
           "flip, leds, trigger_out1, trigger_out2, and one [[pattern]] table per entry with\n"
           "image, pattern, bits, color, invert and black; see lumoractl(1). It is checked\n"
           "whole before anything is sent; each error names its line and column.\n"
           "\n"
           "Without a choice, the first module found is opened. 'list' prints a header\n"
           "and one line per module, tab-separated: port, serial, product, manufacturer,\n"
           "state and hidraw nodes; with no module attached it prints nothing and exits\n"
           "1. 'watch' prints 'plugged PORT' or 'unplugged PORT'.\n"
           "\n"
           "Each command opens the module, holds it against other programs, runs, and\n"
           "closes it. What happened is one line: on stdout when all went through, on\n"
           "stderr (after 'lumoractl: ') for a warning or a failure.\n"
           "\n"
           "Exit status: 0 when every command went through (a command the controller did\n"
           "not acknowledge in time still counts, with a warning); 1 when no module could\n"
           "be opened, the link failed, the controller refused a command, its check of\n"
           "the look-up tables failed or gave a non-zero verdict (a preset's sequence was\n"
           "started all the same, a sequence file's was not), or the output could not be\n"
           "written; 2 for a usage error or a sequence file with errors, and then nothing\n"
           "is sent; 130 when SIGINT or SIGTERM cancelled the command (a second signal\n"
           "ends it at once).\n";
}

int UsageError(std::ostream& err, const std::string& message)
{
    err << "lumoractl: " << message << "\n"
        << "Try 'lumoractl --help'.\n";
    return kExitUsage;
}

std::string Quoted(const std::string& text) { return "'" + Printable(text, kQuotedArgumentLimit) + "'"; }

// An option word, as opposed to a number such as -5 (which a rule refuses).
bool LooksLikeOption(const std::string& arg)
{
    return arg.size() > 1 && arg[0] == '-' && !std::isdigit(static_cast<unsigned char>(arg[1]));
}

constexpr std::string_view kFrequencyWithValue = "--frequency=";

// -f HZ, --frequency HZ or --frequency=HZ.
bool IsFrequencyOption(const std::string& arg)
{
    return arg == "-f" || arg == "--frequency" || arg.starts_with(kFrequencyWithValue);
}

// A whole decimal number within the rule's range, and nothing else: no
// blanks, no sign, no base prefix.
bool ParseNumber(const std::string& text, const NumberRule& rule, int& value, std::string& problem)
{
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < rule.low || value > rule.high) {
        problem = NumberProblem(rule, text);
        return false;
    }
    return true;
}

// Checks the command's arguments into its action; on a usage error says why
// and sends nothing.
bool ParseArguments(const Command& command, const Args& args, Action& action, Given& given, std::string& problem)
{
    std::vector<int> numbers;
    bool fileGiven = false;
    bool optionsEnded = false;
    bool frequencyGiven = false;
    const std::string name = "'" + std::string(command.name) + "'";
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && LooksLikeOption(arg) &&
            std::find(command.flags.begin(), command.flags.end(), arg) != command.flags.end()) {
            if (given.Has(arg)) {
                problem = Quoted(arg) + " is given more than once";
                return false;
            }
            given.flags.push_back(*std::find(command.flags.begin(), command.flags.end(), arg));
            continue;
        }
        if (!optionsEnded && LooksLikeOption(arg)) {
            const auto valueOption = std::find_if(command.values.begin(), command.values.end(), [&arg](const ValueOption& o) {
                return arg == o.name || arg.starts_with(std::string(o.name) + "=");
            });
            if (valueOption != command.values.end()) {
                const std::string option(valueOption->name);
                if (given.Number(valueOption->name) != 0) {
                    problem = Quoted(option) + " is given more than once";
                    return false;
                }
                std::string value;
                if (arg != option) {
                    value = arg.substr(option.size() + 1);
                } else if (i + 1 < args.size()) {
                    value = args[++i];
                } else {
                    problem = Quoted(option) + " needs a number";
                    return false;
                }
                int number = 0;
                if (!ParseNumber(value, *valueOption->rule, number, problem)) {
                    return false;
                }
                given.numbers.emplace_back(valueOption->name, number);
                continue;
            }
            if (!command.takesFrequency || !IsFrequencyOption(arg)) {
                problem = name + " has no option " + Quoted(arg);
                return false;
            }
            if (frequencyGiven) {
                problem = "the frequency is given more than once";
                return false;
            }
            frequencyGiven = true;
            std::string value;
            if (arg.starts_with(kFrequencyWithValue)) {
                value = arg.substr(kFrequencyWithValue.size());
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                problem = Quoted(arg) + " needs a frequency";
                return false;
            }
            if (!ParseNumber(value, kFrequencyRule, action.frequency, problem)) {
                return false;
            }
            continue;
        }
        if (numbers.size() == command.positional.size()) {
            if (command.takesFile && !fileGiven) {
                given.file = arg;
                fileGiven = true;
                continue;
            }
            problem = name + " takes no argument " + Quoted(arg);
            return false;
        }
        int value = 0;
        if (!ParseNumber(arg, *command.positional[numbers.size()], value, problem)) {
            return false;
        }
        numbers.push_back(value);
    }
    if (numbers.size() < command.positional.size() || (command.takesFile && !fileGiven)) {
        problem = name + " needs " + std::string(command.arguments);
        return false;
    }
    if (given.Has(kCheck) && given.Has(kStartAnyway)) {
        problem = "'--start-anyway' does not go with '--check', which sends nothing";
        return false;
    }
    action.kind = command.action;
    if (action.kind == ActionKind::Leds) {
        std::copy(numbers.begin(), numbers.end(), action.leds.begin());
    } else {
        action.first = numbers.size() > 0 ? numbers[0] : 0;
        action.last = numbers.size() > 1 ? numbers[1] : 0;
    }
    // A sequence's file is read and checked when the command runs.
    problem = action.kind == ActionKind::Sequence ? "" : ArgumentProblem(action);
    return problem.empty();
}

// Prints the outcome where it belongs; returns the exit status it means.
int Report(const Outcome& outcome, std::ostream& out, std::ostream& err)
{
    switch (outcome.severity) {
    case Severity::Ok:
        out << outcome.text << "\n";
        return kExitOk;
    case Severity::Warning:
        err << "lumoractl: warning: " << outcome.text << "\n";
        return kExitOk;
    case Severity::Failure:
        break;
    }
    err << "lumoractl: " << outcome.text << "\n";
    for (const std::string& line : outcome.advice) {
        err << line << "\n";
    }
    return kExitFailed;
}

// The modules, as a table or as JSON; with none attached, nothing on stdout
// and the failure on stderr.
int List(const Given& given, std::ostream& out, std::ostream& err)
{
    const std::vector<ModuleInfo> modules = ListModules();
    if (modules.empty()) {
        return Report(NoModuleAttached(), out, err);
    }
    out << (given.Has(kJson) ? RenderModuleJson(modules) : RenderModuleTable(modules));
    return kExitOk;
}

// One line for each module plugged in or unplugged, as it happens, until the
// number of changes asked for came, the time ran out, or stdout went away.
int Watch(const Given& given, std::ostream& out, std::ostream& err)
{
    ModuleWatcher watcher;
    if (!watcher.Start()) {
        err << "lumoractl: cannot watch for modules: " << watcher.Error() << "\n";
        return kExitFailed;
    }
    const int wanted = given.Number(kChanges);
    const int seconds = given.Number(kSeconds);
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::seconds(seconds);
    int seen = 0;
    while (out && (wanted == 0 || seen < wanted)) {
        int timeout = -1;
        if (seconds > 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0) {
                break;
            }
            timeout = static_cast<int>(left);
        }
        if (!watcher.Wait(timeout)) {
            err << "lumoractl: cannot watch for modules: " << watcher.Error() << "\n";
            return kExitFailed;
        }
        for (const ModuleChange& change : watcher.Changes()) {
            if (wanted > 0 && seen == wanted) {
                break;
            }
            out << (change.kind == ModuleChange::Kind::Plugged ? "plugged\t" : "unplugged\t") << Printable(change.port)
                << std::endl;
            ++seen;
        }
    }
    if (out && wanted > 0 && seen < wanted) {
        err << "lumoractl: only " << seen << " of " << wanted << " changes came within " << seconds << " s\n";
        return kExitFailed;
    }
    return kExitOk;
}

// Reads and checks a sequence file into the action. A file with errors says
// each on its own line, file:line:column first, and nothing is sent.
bool ReadSequence(const std::string& path, Action& action, std::ostream& err)
{
    SequenceRequest request = ReadSequenceAction(path);
    for (const std::string& line : request.errorLines) {
        err << "lumoractl: " << line << "\n";
    }
    if (!request.errors.empty()) {
        return false;
    }
    action.sequence = std::move(request.action.sequence);
    action.sequenceName = std::move(request.action.sequenceName);
    return true;
}

// Runs the action and prints its outcome; returns the exit status it means.
int RunAndReport(const Action& action, std::ostream& out, std::ostream& err)
{
    const ActionRecord record = RunAction(action);
    const int status = Report(ConcludeAction(action, record, Audience::Script), out, err);
    return record.run.cancelled ? kExitCancelled : status;
}

// The signal handler: one atomic store the first time, the end of the
// process the second.
int Perform(const Command& command, Action action, const Given& given, std::ostream& out, std::ostream& err)
{
    if (command.work == Work::Sequence) {
        if (!ReadSequence(given.file, action, err)) {
            return kExitUsage;
        }
        action.startAnyway = given.Has(kStartAnyway);
    }
    if (given.Has(kCheck)) {
        CommandRun run;
        if (!PlanAction(action, run)) {
            err << "lumoractl: " << ArgumentProblem(action) << "\n";
            return kExitUsage;
        }
        out << RenderSequenceListing(ListPlan(run));
        return kExitOk;
    }
    switch (command.work) {
    case Work::List:
        return List(given, out, err);
    case Work::Watch:
        return Watch(given, out, err);
    case Work::UdevRule:
        out << kUdevRule;
        return kExitOk;
    case Work::Connect:
    case Work::OwnOpen:
        return RunAndReport(action, out, err);
    case Work::Action:
    case Work::Sequence:
        break;
    }
    const Action connect{ActionKind::Connect};
    if (const Outcome opened = ConcludeAction(connect, RunAction(connect), Audience::Script);
        opened.severity == Severity::Failure) {
        return Report(opened, out, err);
    }
    return RunAndReport(action, out, err);
}

// Everything written to stdout must have reached it: a full disk or a closed
// pipe is a failure, said in one line on stderr.
int CheckOutput(int status, std::ostream& out, std::ostream& err)
{
    errno = 0;
    out.flush();
    if (out) {
        return status;
    }
    const int error = errno;
    err << "lumoractl: cannot write to standard output" << (error != 0 ? std::string(": ") + std::strerror(error) : "")
        << "\n";
    return kExitFailed;
}

}  // namespace

int Run(const Args& args, std::ostream& out, std::ostream& err)
{
    // Options before the command: each at most once; --help and --version
    // stand alone.
    std::size_t at = 0;
    std::optional<ChoiceOption> chosenBy;
    ModuleChoice choice;
    bool trace = false;
    std::string alone;
    for (; at < args.size() && args[at].starts_with("-"); ++at) {
        const std::string& option = args[at];
        if (option == "--") {
            ++at;
            break;
        }
        if (option == "--help" || option == "-h" || option == "--version") {
            if (!alone.empty() || args.size() != 1) {
                return UsageError(err, Quoted(option) + " takes nothing else");
            }
            alone = option;
            continue;
        }
        if (option == "--trace") {
            if (trace) {
                return UsageError(err, "'--trace' is given more than once");
            }
            trace = true;
            continue;
        }
        const auto choosing = std::find_if(std::begin(kChoiceOptions), std::end(kChoiceOptions), [&option](const ChoiceOption& o) {
            return option == o.name || option.starts_with(std::string(o.name) + "=");
        });
        if (choosing != std::end(kChoiceOptions)) {
            const std::string name(choosing->name);
            if (chosenBy && chosenBy->name == choosing->name) {
                return UsageError(err, Quoted(name) + " is given more than once");
            }
            if (chosenBy) {
                return UsageError(err, ChoicesConflict(chosenBy->name, name));
            }
            if (option == name && ++at == args.size()) {
                return UsageError(err, ChoiceNeedsValue(name, choosing->by));
            }
            choice = {choosing->by, option == name ? args[at] : option.substr(name.size() + 1)};
            if (choice.value.empty()) {
                return UsageError(err, ChoiceNeedsValue(name, choosing->by));
            }
            chosenBy = *choosing;
            continue;
        }
        // A command's own option written before the command is known, just
        // misplaced: say where it goes.
        if (IsFrequencyOption(option)) {
            return UsageError(err, Quoted(option) + " goes after the command, as in 'lumoractl fringes -f 20'");
        }
        if (option == kCheck || option == kStartAnyway) {
            return UsageError(err, Quoted(option) + " goes after the command, as in 'lumoractl sequence " + option +
                                       " FILE'");
        }
        return UsageError(err, "unknown option " + Quoted(option));
    }
    if (alone == "--version") {
        out << "lumoractl " << kLumoraVersion << "\n";
        return CheckOutput(kExitOk, out, err);
    }
    if (!alone.empty()) {
        PrintHelp(out);
        return CheckOutput(kExitOk, out, err);
    }
    if (at == args.size()) {
        return UsageError(err, "no command given");
    }
    const std::string& name = args[at];
    for (const Command& command : Commands()) {
        if (command.name != name) {
            continue;
        }
        Action action;
        Given given;
        std::string problem;
        if (!ParseArguments(command, Args(args.begin() + static_cast<std::ptrdiff_t>(at) + 1, args.end()), action,
                            given, problem)) {
            return UsageError(err, problem);
        }
        if (const std::string unusable = SelectChoice(choice); !unusable.empty()) {
            return UsageError(err, unusable);
        }
        SetTrace(trace ? &err : nullptr);
        const int status = Perform(command, action, given, out, err);
        ReleaseDevice();
        SelectModule(ModuleChoice{});
        SetTrace(nullptr);
        return CheckOutput(status, out, err);
    }
    return UsageError(err, "unknown command " + Quoted(name));
}

}  // namespace lumora::cli
