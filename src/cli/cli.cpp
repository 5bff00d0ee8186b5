#include "cli/cli.h"

#include "cli/trace.h"
#include "connection/connection.h"
#include "connection/diagnosis.h"
#include "link/commands.h"
#include "link/link.h"
#include "lumora_udev_rule.h"
#include "lumora_version.h"
#include "patterns/lut.h"
#include "patterns/presets.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <functional>
#include <string_view>

namespace lumora::cli {

namespace {

using Args = std::vector<std::string>;

constexpr int kDefaultFrequency = 10;

// A number the command takes from its arguments, with its inclusive range.
struct Number {
    std::string_view name;
    int low;
    int high;
};

constexpr Number kFrequency = {"the frequency (Hz)", kMinFrequency, kMaxFrequency};
constexpr Number kPicture = {"the picture P", kMinPicture, kMaxPicture};
constexpr Number kFirst = {"the first picture M", kMinPicture, kMaxPicture};
constexpr Number kLast = {"the last picture N", kMinPicture, kMaxPicture};

// What a command was given, checked.
struct Values {
    int frequency = kDefaultFrequency;
    std::vector<int> numbers;  // the positional numbers, in order
};

struct Command {
    std::string_view name;
    std::string_view arguments;
    std::string_view summary;
    bool takesFrequency;
    std::vector<Number> positional;
    std::function<int(const Values&, std::ostream&, std::ostream&)> run;
};

// Says why the controller could not be opened, and what to do about it.
void ExplainOpenFailure(std::ostream& err)
{
    const OpenDiagnosis why = DiagnoseOpenFailure();
    switch (why.problem) {
    case OpenProblem::NoModule:
        err << "lumoractl: no module attached (no USB HID device 0451:6401 found)\n";
        break;
    case OpenProblem::NoSuchSerial:
        err << "lumoractl: no module with serial number '" << ToUtf8(SelectedModule().c_str())
            << "' is attached (see 'lumoractl list')\n";
        break;
    case OpenProblem::NoAccess:
        err << "lumoractl: a module is attached at " << why.path
            << " but this user may not open it; install the udev rule, then re-plug the module:\n"
               "  lumoractl udev-rule | sudo tee /etc/udev/rules.d/70-lumora.rules >/dev/null && "
               "sudo udevadm control --reload-rules && sudo udevadm trigger\n";
        break;
    case OpenProblem::Busy:
        err << "lumoractl: the module at " << why.path
            << " is held by another program; close that program and try again\n";
        break;
    case OpenProblem::Other:
        err << "lumoractl: the module at " << why.path << " could not be opened: " << why.detail << "\n";
        break;
    }
}

// Turns what the link saw into the exit status, with one line on stderr
// saying what failed.
int Outcome(std::ostream& err)
{
    const LinkCounters& seen = linkCounters;
    if (seen.linkFailures > 0) {
        err << "lumoractl: the link to the controller failed; the device was closed\n";
        return kExitFailed;
    }
    if (seen.refusals > 0) {
        err << "lumoractl: the controller refused " << seen.refusals << " command"
            << (seen.refusals == 1 ? "" : "s") << " (error flag in the acknowledgement)\n";
        return kExitFailed;
    }
    if (seen.noDevice > 0) {
        // With no link failure, the device was never opened.
        ExplainOpenFailure(err);
        return kExitFailed;
    }
    if (seen.missingAcks > 0) {
        err << "lumoractl: warning: " << seen.missingAcks << " command" << (seen.missingAcks == 1 ? " was" : "s were")
            << " not acknowledged within " << kReadTimeoutMs << " ms\n";
    }
    return kExitOk;
}

// As Outcome, and then what the look-up-table check said.
int PresetOutcome(std::ostream& err)
{
    const int status = Outcome(err);
    const LutValidation& check = lastLutValidation;
    if (status != kExitOk || !check.attempted) {
        return status;
    }
    if (check.result < 0) {
        if (check.gaveUp) {
            err << "lumoractl: the controller stayed busy checking the look-up tables; gave up after "
                << kStatusPollBound.count() / 1000 << " s\n";
        } else {
            err << "lumoractl: the controller gave no valid answer to the look-up-table check\n";
        }
        return kExitFailed;
    }
    if (check.status != 0) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(check.status));
        err << "lumoractl: the controller's look-up-table check reported status " << hex << "\n";
    }
    return kExitOk;
}

// Opens the controller; says why on stderr when it cannot.
bool Connect(std::ostream& err)
{
    if (ConnectDevice()) {
        return true;
    }
    ExplainOpenFailure(err);
    return false;
}

// Connects, then runs one operation and reports what the link saw.
int ConnectAndRun(const std::function<void()>& operation, std::ostream& err,
                  int (*outcome)(std::ostream&) = Outcome)
{
    if (!Connect(err)) {
        return kExitFailed;
    }
    operation();
    return outcome(err);
}

const std::vector<Command>& Commands()
{
    static const std::vector<Command> commands = {
        {"connect", "", "open the controller; exit 0 when it is there", false, {},
         [](const Values&, std::ostream& out, std::ostream& err) {
             if (!Connect(err)) {
                 return kExitFailed;
             }
             out << "controller connected\n";
             return kExitOk;
         }},
        {"start", "", "put the controller back into video mode", false, {},
         [](const Values&, std::ostream&, std::ostream& err) {
             StartVideoMode();
             return Outcome(err);
         }},
        {"pause", "", "pause the running pattern sequence", false, {},
         [](const Values&, std::ostream&, std::ostream& err) { return ConnectAndRun(PauseSequence, err); }},
        {"stop", "", "stop the running pattern sequence", false, {},
         [](const Values&, std::ostream&, std::ostream& err) { return ConnectAndRun(StopSequence, err); }},
        {"fringes", "[-f HZ]", "project the full fringe set (31 patterns)", true, {},
         [](const Values& v, std::ostream&, std::ostream& err) {
             return ConnectAndRun([&] { ProjectFullFringes(v.frequency); }, err, PresetOutcome);
         }},
        {"range", "[-f HZ] M N", "project pictures M to N (1 to 31)", true, {kFirst, kLast},
         [](const Values& v, std::ostream&, std::ostream& err) {
             return ConnectAndRun([&] { ProjectRange(v.frequency, v.numbers[0], v.numbers[1]); }, err, PresetOutcome);
         }},
        {"picture", "[-f HZ] P", "project picture P (1 to 31)", true, {kPicture},
         [](const Values& v, std::ostream&, std::ostream& err) {
             return ConnectAndRun([&] { ProjectOnePicture(v.frequency, v.numbers[0]); }, err, PresetOutcome);
         }},
        {"cross", "", "project the fixed cross", false, {},
         [](const Values&, std::ostream&, std::ostream& err) { return ConnectAndRun(ProjectCross, err, PresetOutcome); }},
        {"list", "", "list the attached modules", false, {},
         [](const Values&, std::ostream& out, std::ostream&) {
             const std::vector<ModuleInfo> modules = ListModules();
             if (modules.empty()) {
                 out << "no module attached\n";
             }
             for (const ModuleInfo& module : modules) {
                 out << module.path << "\tserial " << module.serial << "\t" << module.manufacturer << "\t"
                     << module.product << "\n";
             }
             return kExitOk;
         }},
        {"udev-rule", "", "print the udev rule that lets the seat's user reach a module", false, {},
         [](const Values&, std::ostream& out, std::ostream&) {
             out << kUdevRule;
             return kExitOk;
         }},
    };
    return commands;
}

void PrintHelp(std::ostream& out)
{
    out << "Usage: lumoractl [--help] [--version] [--serial S] [--trace] COMMAND [ARGUMENTS]\n"
           "\n"
           "Drives the projection module's controller over USB HID.\n"
           "\n"
           "Commands:\n";
    for (const Command& command : Commands()) {
        std::string head = std::string(command.name);
        if (!command.arguments.empty()) {
            head += " " + std::string(command.arguments);
        }
        out << "  " << head << std::string(head.size() < 22 ? 22 - head.size() : 1, ' ') << command.summary << "\n";
    }
    out << "\n"
           "Options:\n"
           "  -f, --frequency HZ    pattern frequency, 1 to 120 Hz (default 10)\n"
           "  --serial S            open the module with serial number S (see 'list')\n"
           "  --trace               print every report written and read, decoded, to stderr\n"
           "\n"
           "Exit status: 0 when every command went through, 1 when no controller was\n"
           "found, the link failed, the controller refused a command or its look-up-table\n"
           "check failed, 2 for a usage error (then nothing is sent).\n";
}

int UsageError(std::ostream& err, const std::string& message)
{
    err << "lumoractl: " << message << "\n"
        << "Try 'lumoractl --help'.\n";
    return kExitUsage;
}

// A whole decimal number within the range, and nothing else.
bool ParseNumber(const std::string& text, const Number& number, int& value, std::string& problem)
{
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < number.low || value > number.high) {
        problem = std::string(number.name) + " must be a whole number from " + std::to_string(number.low) + " to " +
                  std::to_string(number.high) + ", not '" + text + "'";
        return false;
    }
    return true;
}

// Checks the command's arguments; on a usage error says why and sends nothing.
bool ParseArguments(const Command& command, const Args& args, Values& values, std::string& problem)
{
    std::size_t positional = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (command.takesFrequency && (arg == "-f" || arg == "--frequency")) {
            if (i + 1 == args.size()) {
                problem = "'" + arg + "' needs a frequency";
                return false;
            }
            if (!ParseNumber(args[++i], kFrequency, values.frequency, problem)) {
                return false;
            }
            continue;
        }
        if (positional == command.positional.size()) {
            problem = arg.starts_with("-") && arg.size() > 1 && !std::isdigit(static_cast<unsigned char>(arg[1]))
                          ? "'" + std::string(command.name) + "' has no option '" + arg + "'"
                          : "'" + std::string(command.name) + "' takes no argument '" + arg + "'";
            return false;
        }
        int value = 0;
        if (!ParseNumber(arg, command.positional[positional], value, problem)) {
            return false;
        }
        values.numbers.push_back(value);
        ++positional;
    }
    if (positional < command.positional.size()) {
        problem = "'" + std::string(command.name) + "' needs " + std::string(command.arguments);
        return false;
    }
    if (command.positional.size() == 2 && values.numbers[0] > values.numbers[1]) {
        problem = "the first picture (M) must not be greater than the last picture (N)";
        return false;
    }
    return true;
}

}  // namespace

int Run(const Args& args, std::ostream& out, std::ostream& err)
{
    std::size_t at = 0;
    std::string serial;
    bool trace = false;
    for (; at < args.size() && args[at].starts_with("-"); ++at) {
        const std::string& option = args[at];
        if (option == "--help" || option == "-h") {
            PrintHelp(out);
            return kExitOk;
        }
        if (option == "--version") {
            out << "lumoractl " << kLumoraVersion << "\n";
            return kExitOk;
        }
        if (option == "--trace") {
            trace = true;
            continue;
        }
        if (option == "--serial") {
            if (++at == args.size() || args[at].empty()) {
                return UsageError(err, "'--serial' needs a serial number");
            }
            serial = args[at];
            continue;
        }
        return UsageError(err, "unknown option '" + option + "'");
    }
    if (at == args.size()) {
        return UsageError(err, "no command given");
    }
    const std::string& name = args[at];
    for (const Command& command : Commands()) {
        if (command.name != name) {
            continue;
        }
        Values values;
        std::string problem;
        if (!ParseArguments(command, Args(args.begin() + static_cast<std::ptrdiff_t>(at) + 1, args.end()), values,
                            problem)) {
            return UsageError(err, problem);
        }
        SelectModule(FromUtf8(serial));
        SetTrace(trace ? &err : nullptr);
        ClearLinkCounters();
        ClearLutValidation();
        const int status = command.run(values, out, err);
        ReleaseDevice();
        SetTrace(nullptr);
        return status;
    }
    return UsageError(err, "unknown command '" + name + "'");
}

}  // namespace lumora::cli
