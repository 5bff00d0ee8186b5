#include "actions/outcome.h"

#include "connection/connection.h"
#include "connection/diagnosis.h"
#include "link/commands.h"
#include "link/link.h"
#include "link/printable.h"
#include "link/utf8.h"
#include "patterns/lut.h"
#include "patterns/presets.h"
#include "patterns/sequence.h"

#include <cstdio>
#include <filesystem>

namespace lumora {

namespace {

// The rule's place when the package installed it, and where an administrator
// puts it by hand.
constexpr const char* kRulePaths[] = {"/usr/lib/udev/rules.d/70-lumora.rules", "/etc/udev/rules.d/70-lumora.rules"};

std::string Count(unsigned n, const char* thing) { return std::to_string(n) + " " + thing + (n == 1 ? "" : "s"); }

std::string Hex2(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
    return text;
}

std::string UsbId()
{
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", kVendorId, kProductId);
    return text;
}

Outcome Failure(Problem problem, std::string text, std::vector<std::string> advice = {})
{
    return {Severity::Failure, problem, std::move(text), {}, std::move(advice)};
}

bool RuleInstalled()
{
    std::error_code ignored;
    for (const char* path : kRulePaths) {
        if (std::filesystem::exists(path, ignored)) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> AccessAdvice()
{
    std::vector<std::string> advice;
    if (RuleInstalled()) {
        advice.push_back("The udev rule is installed: the user at the seat gets access once the module is re-plugged.");
    } else {
        advice.push_back("For the user at the seat, install the udev rule, then re-plug the module:");
        advice.push_back(std::string("  ") + kInstallRuleCommand);
    }
    advice.push_back("For scripts over SSH or from cron, the rule opens the module to the plugdev group:");
    advice.push_back(std::string("  ") + kJoinPlugdevCommand + "   (then log in again)");
    return advice;
}

// "1-2 and 1-3", "1-2, 1-3 and 1-4".
std::string Ports(const std::vector<std::string>& ports)
{
    std::string text;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == ports.size() ? " and " : ", ") + Printable(ports[i], kQuotedArgumentLimit);
    }
    return text;
}

// Why the module could not be opened, from what the HID library and the
// module's lock said.
Outcome OpenFailure(const OpenDiagnosis& why, Audience audience)
{
    const std::string path = Printable(why.path);
    const std::string chosen = Printable(SelectedModule().value, kQuotedArgumentLimit);
    switch (why.problem) {
    case OpenProblem::NoModule:
        return NoModuleAttached();
    case OpenProblem::NoSuchSerial:
        return Failure(Problem::NoModule, "No module with serial number '" + chosen +
                                              "' is attached; 'lumoractl list' shows the serial numbers.");
    case OpenProblem::NoSuchPort:
        return Failure(Problem::NoModule,
                       "No module is attached at port '" + chosen + "'; 'lumoractl list' shows the ports.");
    case OpenProblem::NoSuchPath:
        return Failure(Problem::NoModule,
                       "No module has the device node '" + chosen + "'; 'lumoractl list' shows the nodes.");
    case OpenProblem::SharedSerial:
        return Failure(Problem::NoModule, std::to_string(why.ports.size()) + " modules carry the serial " + chosen +
                                              " (ports " + Ports(why.ports) + "); choose one " +
                                              (audience == Audience::Dialog ? "by its port." : "with --port."));
    case OpenProblem::NoAccess:
        if (audience == Audience::Dialog) {
            return Failure(Problem::NotAccessible, "A module is attached but this user may not open it; see Help.");
        }
        return Failure(Problem::NotAccessible, "A module is attached at " + path + " but this user may not open it.",
                       AccessAdvice());
    case OpenProblem::Busy: {
        std::string holder;
        if (why.holderPid > 0) {
            holder = " (" + (why.holder.empty() ? std::string("process ") : Printable(why.holder, 32) + ", process ") +
                     std::to_string(why.holderPid) + ")";
        }
        return Failure(Problem::ModuleBusy, "The module at " + path + " is held by another program" + holder + ".");
    }
    case OpenProblem::Other:
        break;
    }
    return Failure(Problem::OpenFailed, "The module at " + path + " could not be opened: " + Printable(why.detail) + ".");
}

// What the look-up-table check said.
std::string Verdict(const RunRecord& run)
{
    switch (run.verdict) {
    case TableVerdict::None:
        return "";
    case TableVerdict::Accepted:
        return "the controller accepted the tables";
    case TableVerdict::Rejected:
        return "the controller rejected the tables (status " + Hex2(run.status) + ")";
    case TableVerdict::NoAnswer:
        return "the controller gave no valid answer to the table check";
    case TableVerdict::StayedBusy: {
        const long long bound = StatusPollBound().count();
        return "the controller stayed busy checking the tables for " +
               (bound % 1000 == 0 ? std::to_string(bound / 1000) + " s" : std::to_string(bound) + " ms");
    }
    }
    return "";
}

// "CmdLedEnable", or "the status request CmdValidate".
std::string PacketName(const PacketRecord& packet)
{
    return std::string(packet.readRequest ? "the status request " : "") + CommandNames[packet.command];
}

// Which commands the controller refused, when it refused any.
std::string Refusals(const RunRecord& run)
{
    const int refused = run.CountOf(PacketResult::Refused);
    if (refused == 0) {
        return "";
    }
    const std::string name = PacketName(run.packets[run.FirstOf(PacketResult::Refused)]);
    if (run.count == 1) {
        return "the controller refused " + name;
    }
    return "the controller refused " + std::to_string(refused) + " of " + Count(static_cast<unsigned>(run.count), "command") +
           ", the first " + name;
}

std::string Started(const RunRecord& run)
{
    if (!run.startsSequence) {
        return "";
    }
    if (!run.started) {
        return "the sequence was not started";
    }
    return run.verdict == TableVerdict::Accepted || run.verdict == TableVerdict::None ? "the sequence was started"
                                                                                      : "the sequence was started anyway";
}

// The parts of a text, "; " between them.
std::string Joined(std::initializer_list<std::string> parts)
{
    std::string text;
    for (const std::string& part : parts) {
        if (!part.empty()) {
            text += (text.empty() ? "" : "; ") + part;
        }
    }
    return text;
}

const char* Step(const Action& action, std::uint16_t word)
{
    if (word == 0) {
        return OpensModule(action.kind) ? "opening the module" : "starting";
    }
    const auto is = [word](CommandId id) { return word == (CommandTable[id].group << 8 | CommandTable[id].code); };
    if (is(CmdLutAccess) || is(CmdLutOffset) || is(CmdLutData)) {
        return "uploading the look-up tables";
    }
    if (is(CmdValidate)) {
        return "waiting for the table check";
    }
    if (ChecksTables(action.kind) &&
        (is(CmdLedEnable) || is(CmdLedPwmPolarity) || is(CmdLedCurrent) || is(CmdPatternStartStop))) {
        return "starting the sequence";
    }
    return ChecksTables(action.kind) || action.kind == ActionKind::StartVideoMode ? "configuring the controller"
                                                                                  : "sending";
}

}  // namespace

std::string ActionLabel(const Action& action)
{
    const std::string at = " at " + std::to_string(action.frequency) + " Hz";
    switch (action.kind) {
    case ActionKind::Connect:
        return "Connect";
    case ActionKind::StartVideoMode:
        return "Video mode";
    case ActionKind::Pause:
        return "Pause";
    case ActionKind::Stop:
        return "Stop";
    case ActionKind::FullFringes:
        return "Project Full Fringes" + at;
    case ActionKind::Range:
        return "Project pictures " + std::to_string(action.first) + " to " + std::to_string(action.last) + at;
    case ActionKind::OnePicture:
        return "Project picture " + std::to_string(action.first) + at;
    case ActionKind::Cross:
        return "Project Cross";
    case ActionKind::Leds:
        return "LED currents " + std::to_string(action.leds[0]) + ", " + std::to_string(action.leds[1]) + ", " +
               std::to_string(action.leds[2]);
    case ActionKind::Sequence:
        return "Sequence " + Printable(action.sequenceName, kQuotedArgumentLimit);
    }
    return "";
}

Outcome NoModuleAttached() { return Failure(Problem::NoModule, "No module attached (USB " + UsbId() + ")."); }

Outcome ModuleUnplugged(const std::string& port)
{
    return Failure(Problem::LinkFailed, "The module at port " + Printable(port, kQuotedArgumentLimit) + " was unplugged.");
}

Outcome NoModuleOpen(Audience audience)
{
    return Failure(Problem::NotConnected, audience == Audience::Dialog ? "Not connected; press ConnectUSB first."
                                                                       : "No module is open; connect first.");
}

Outcome ConcludeAction(const Action& action, const ActionRecord& record, Audience audience)
{
    const RunRecord& run = record.run;
    const std::string label = ActionLabel(action);
    if (!record.problem.empty()) {
        return Failure(action.kind == ActionKind::Sequence ? Problem::SequenceFile : Problem::InvalidArgument,
                       label + ": " + record.problem + "; nothing was sent.");
    }
    if (run.linkFailedAt >= 0) {
        const std::string where = " at " + PacketName(run.packets[run.linkFailedAt]) + ", command " +
                                  std::to_string(run.linkFailedAt + 1) + " of " + std::to_string(run.count) + ",";
        return Failure(Problem::LinkFailed,
                       label + ": " +
                           Joined({(audience == Audience::Dialog ? "the link failed" : "the link to the module failed") +
                                       where + " and the module was closed",
                                   Started(run), audience == Audience::Dialog ? "press ConnectUSB" : ""}) +
                           ".");
    }
    if (record.opensModule && !record.opened) {
        return OpenFailure(record.openFailure, audience);
    }
    if (run.cancelled) {
        int written = 0;
        for (int i = 0; i < run.count; ++i) {
            written += run.packets[i].reports > 0 ? 1 : 0;
        }
        const bool dialog = audience == Audience::Dialog;
        return {Severity::Warning, Problem::Cancelled,
                label + ": " +
                    Joined({"cancelled after " + std::to_string(written) + " of " +
                                Count(static_cast<unsigned>(run.count), "command"),
                            Started(run), dialog && run.startsSequence ? "press STOP or run it again" : ""}) +
                    ".",
                {}, {}};
    }
    if (action.kind == ActionKind::Connect) {
        const OpenModule& module = record.module;
        return {Severity::Ok, Problem::None,
                "Connected to the module at " + Printable(module.path) + " (serial " +
                    (module.serial.empty() ? std::string("-") : Printable(module.serial, kQuotedArgumentLimit)) + ").",
                {}, {}};
    }
    if (run.FirstOf(PacketResult::NoDevice) >= 0) {
        // With no link failure the device was never open during the action.
        return NoModuleOpen(audience);
    }

    // Commands the controller let pass without an acknowledgement are told
    // after whatever else the action says: a silent module is no success.
    unsigned unacknowledged = 0;
    for (int i = 0; i < run.count; ++i) {
        unacknowledged += !run.packets[i].readRequest && run.packets[i].result == PacketResult::Unacknowledged ? 1 : 0;
    }
    Outcome outcome;
    if (unacknowledged > 0) {
        outcome.warnings.push_back(Count(unacknowledged, "command") + (unacknowledged == 1 ? " was" : " were") +
                                   " not acknowledged within " + std::to_string(kReadTimeoutMs) + " ms");
    }
    const std::string unacknowledgedText = outcome.warnings.empty() ? "" : outcome.warnings.back();
    const std::string refusals = Refusals(run);
    const bool checkFailed = run.verdict != TableVerdict::None && run.verdict != TableVerdict::Accepted;
    if (!refusals.empty() || checkFailed) {
        outcome.severity = Severity::Failure;
        outcome.problem = refusals.empty() ? Problem::TableCheckFailed : Problem::Refused;
        outcome.text = label + ": " + Joined({refusals, Verdict(run), Started(run), unacknowledgedText}) + ".";
        return outcome;
    }
    outcome.severity = unacknowledged > 0 ? Severity::Warning : Severity::Ok;
    outcome.text = label + ": " + Joined({"sent", Verdict(run), Started(run), unacknowledgedText}) + ".";
    return outcome;
}

ProgressMonitor::ProgressMonitor(Action action) : action_(action) {}

std::string ProgressMonitor::Text(std::chrono::steady_clock::time_point now)
{
    const unsigned started = linkActivity.readsStarted.load(std::memory_order_relaxed);
    const unsigned finished = linkActivity.readsFinished.load(std::memory_order_relaxed);
    const unsigned commands = linkCounters.commandsSent.load(std::memory_order_relaxed) +
                              linkCounters.commandsFailed.load(std::memory_order_relaxed);
    const auto tenths = [](std::chrono::steady_clock::duration since) {
        char seconds[16];
        std::snprintf(seconds, sizeof seconds, "%.1f s",
                      static_cast<double>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count()) / 1000);
        return std::string(seconds);
    };
    if (InStartPause()) {
        if (!pausing_) {
            pausing_ = true;
            pausingSince_ = now;
        }
        return ActionLabel(action_) + ": pausing 1 s before repeating the start (" + tenths(now - pausingSince_) +
               "); " + Count(commands, "command") + " sent";
    }
    pausing_ = false;
    std::string text = ActionLabel(action_) + ": " + Step(action_, linkActivity.commandWord.load(std::memory_order_relaxed)) +
                       "; " + Count(commands, "command") + " sent";
    if (started == finished) {
        waitingFor_ = 0;
        return text;
    }
    // A read is under way: time it from the first look at it.
    if (waitingFor_ != started) {
        waitingFor_ = started;
        waitingSince_ = now;
    }
    if (now - waitingSince_ >= std::chrono::milliseconds(500)) {
        text += "; waiting for the controller, " + tenths(now - waitingSince_);
    }
    return text;
}

}  // namespace lumora
