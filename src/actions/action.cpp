#include "actions/action.h"

#include "connection/connection.h"
#include "link/commands.h"
#include "link/link.h"
#include "link/printable.h"
#include "patterns/lut.h"
#include "patterns/presets.h"
#include "patterns/plans.h"
#include "patterns/sequence.h"

namespace lumora {

bool OpensModule(ActionKind kind) { return kind == ActionKind::Connect || kind == ActionKind::StartVideoMode; }

bool ChecksTables(ActionKind kind)
{
    return kind == ActionKind::FullFringes || kind == ActionKind::Range || kind == ActionKind::OnePicture ||
           kind == ActionKind::Cross || kind == ActionKind::Sequence;
}

std::string NumberProblem(const NumberRule& rule, std::string_view typed)
{
    return std::string(rule.name) + " must be a whole number from " + std::to_string(rule.low) + " to " +
           std::to_string(rule.high) + ", not '" + Printable(typed, kQuotedArgumentLimit) + "'";
}

std::string RangeOrderProblem() { return "the first picture (M) must not be greater than the last picture (N)"; }

RuleBreak BrokenRule(const Action& action)
{
    switch (action.kind) {
    case ActionKind::FullFringes:
        return CheckFullFringes(action.frequency);
    case ActionKind::Range:
        return CheckRange(action.frequency, action.first, action.last);
    case ActionKind::OnePicture:
        return CheckOnePicture(action.frequency, action.first);
    case ActionKind::Leds:
        return CheckLedCurrents(action.leds[0], action.leds[1], action.leds[2]);
    default:
        return {};
    }
}

std::string ArgumentProblem(const Action& action)
{
    if (const RuleBreak broken = BrokenRule(action); broken.rule != nullptr) {
        return NumberProblem(*broken.rule, std::to_string(broken.value));
    } else if (broken.rangeOrder) {
        return RangeOrderProblem();
    }
    if (action.kind == ActionKind::Sequence) {
        CommandRun run;
        if (action.sequence == nullptr) {
            return "no sequence was read";
        }
        if (!PlanSequence(*action.sequence, run)) {
            return "it does not fit the controller's tables";
        }
    }
    return "";
}

bool PlanAction(const Action& action, CommandRun& run)
{
    if (!ArgumentProblem(action).empty()) {
        return false;
    }
    switch (action.kind) {
    case ActionKind::Connect:
        return false;
    case ActionKind::StartVideoMode:
        run = PlanVideoMode();
        return true;
    case ActionKind::Pause:
        run = PlanPause();
        return true;
    case ActionKind::Stop:
        run = PlanStop();
        return true;
    case ActionKind::FullFringes:
        run = PlanFullFringes(action.frequency);
        return true;
    case ActionKind::Range:
        run = PlanRange(action.frequency, action.first, action.last);
        return true;
    case ActionKind::OnePicture:
        run = PlanOnePicture(action.frequency, action.first);
        return true;
    case ActionKind::Cross:
        run = PlanCross();
        return true;
    case ActionKind::Leds:
        run = PlanLedCurrents(static_cast<std::uint8_t>(action.leds[0]), static_cast<std::uint8_t>(action.leds[1]),
                              static_cast<std::uint8_t>(action.leds[2]));
        return true;
    case ActionKind::Sequence:
        return PlanSequence(*action.sequence, run);
    }
    return false;
}

SequenceRequest ReadSequenceAction(const std::string& path, std::string_view shownAs)
{
    SequenceFile file = ReadSequenceFile(path);
    SequenceRequest request;
    for (const SequenceError& error : file.errors) {
        if (request.errorLines.size() == kShownSequenceErrors) {
            request.errorLines.push_back("\u2026and " + std::to_string(file.errors.size() - kShownSequenceErrors) +
                                         " more");
            break;
        }
        SequenceError shown = error;
        shown.file = Printable(shownAs.empty() ? error.file : shownAs, kQuotedArgumentLimit);
        request.errorLines.push_back(FormatSequenceError(shown));
    }
    request.errors = std::move(file.errors);
    if (file.sequence) {
        request.action.kind = ActionKind::Sequence;
        request.action.sequence = std::make_shared<const Sequence>(std::move(*file.sequence));
        request.action.sequenceName = !shownAs.empty() ? std::string(shownAs)
                                      : path == "-"    ? std::string(kStandardInputName)
                                                       : path;
    }
    return request;
}

ActionRecord RunAction(const Action& action)
{
    ClearLinkCounters();
    ClearLutValidation();
    linkActivity.commandWord.store(0, std::memory_order_relaxed);
    ActionRecord record;
    record.opensModule = OpensModule(action.kind);
    record.problem = ArgumentProblem(action);
    if (!record.problem.empty()) {
        record.run.invalid = true;
        return record;
    }
    if (action.kind == ActionKind::Connect) {
        ConnectDevice();
    } else if (action.kind == ActionKind::StartVideoMode) {
        record.run = StartVideoMode();
    } else {
        CommandRun run;
        PlanAction(action, run);
        record.run = RunCommands(run, action.startAnyway);
    }
    if (record.opensModule) {
        // An open that failed is diagnosed at once, before any other HID call
        // can replace what the library said; video mode sent its commands to
        // no device meanwhile, which calls nothing.
        record.opened = action.kind == ActionKind::Connect ? deviceConnected != 0
                                                            : record.run.packets[0].result != PacketResult::NoDevice;
        if (!record.opened) {
            record.openFailure = DiagnoseOpenFailure();
        }
    }
    record.module = OpenedModule();
    return record;
}

}  // namespace lumora
