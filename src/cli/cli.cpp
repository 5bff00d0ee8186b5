#include "cli/cli.h"

#include "connection/connection.h"
#include "link/commands.h"
#include "link/link.h"
#include "lumora_version.h"

#include <functional>
#include <string_view>

namespace lumora::cli {

namespace {

using Args = std::vector<std::string>;

struct Command {
    std::string_view name;
    std::string_view arguments;
    std::string_view summary;
    std::size_t argumentCount;
    std::function<int(const Args&, std::ostream&, std::ostream&)> run;
};

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
        err << "lumoractl: no controller found (USB vendor 0451, product 6401)\n";
        return kExitFailed;
    }
    if (seen.missingAcks > 0) {
        err << "lumoractl: warning: " << seen.missingAcks << " command" << (seen.missingAcks == 1 ? " was" : "s were")
            << " not acknowledged within " << kReadTimeoutMs << " ms\n";
    }
    return kExitOk;
}

// Opens the controller; says so on stderr when there is none.
bool Connect(std::ostream& err)
{
    if (ConnectDevice()) {
        return true;
    }
    err << "lumoractl: no controller found (USB vendor 0451, product 6401)\n";
    return false;
}

// Connects, then runs one operation and reports what the link saw.
int ConnectAndRun(int (*operation)(), std::ostream& err)
{
    if (!Connect(err)) {
        return kExitFailed;
    }
    operation();
    return Outcome(err);
}

const std::vector<Command>& Commands()
{
    static const std::vector<Command> commands = {
        {"connect", "", "open the controller; exit 0 when it is there", 0,
         [](const Args&, std::ostream& out, std::ostream& err) {
             if (!Connect(err)) {
                 return kExitFailed;
             }
             out << "controller connected\n";
             return kExitOk;
         }},
        {"start", "", "put the controller back into video mode", 0,
         [](const Args&, std::ostream&, std::ostream& err) {
             StartVideoMode();
             return Outcome(err);
         }},
        {"pause", "", "pause the running pattern sequence", 0,
         [](const Args&, std::ostream&, std::ostream& err) { return ConnectAndRun(PauseSequence, err); }},
        {"stop", "", "stop the running pattern sequence", 0,
         [](const Args&, std::ostream&, std::ostream& err) { return ConnectAndRun(StopSequence, err); }},
    };
    return commands;
}

void PrintHelp(std::ostream& out)
{
    out << "Usage: lumoractl [--help] [--version] COMMAND [ARGUMENTS]\n"
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
           "Exit status: 0 when every command went through, 1 when no controller was\n"
           "found, the link failed or the controller refused a command, 2 for a usage\n"
           "error (then nothing is sent).\n";
}

int UsageError(std::ostream& err, const std::string& message)
{
    err << "lumoractl: " << message << "\n"
        << "Try 'lumoractl --help'.\n";
    return kExitUsage;
}

}  // namespace

int Run(const Args& args, std::ostream& out, std::ostream& err)
{
    std::size_t at = 0;
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
        const Args rest(args.begin() + static_cast<std::ptrdiff_t>(at) + 1, args.end());
        if (rest.size() != command.argumentCount) {
            return UsageError(err, "'" + name + "' takes no arguments");
        }
        ClearLinkCounters();
        const int status = command.run(rest, out, err);
        ReleaseDevice();
        return status;
    }
    return UsageError(err, "unknown command '" + name + "'");
}

}  // namespace lumora::cli
