#include "actions/action.h"

#include "connection/connection.h"
#include "link/commands.h"
#include "link/link.h"
#include "link/printable.h"
#include "patterns/lut.h"
#include "patterns/presets.h"
#include "patterns/sequence.h"

namespace lumora {

const NumberRule kFrequencyRule = {"the frequency (Hz)", kMinFrequency, kMaxFrequency};
const NumberRule kPictureRule = {"the picture P", kMinPicture, kMaxPicture};
const NumberRule kFirstRule = {"the first picture M", kMinPicture, kMaxPicture};
const NumberRule kLastRule = {"the last picture N", kMinPicture, kMaxPicture};
const NumberRule kRedRule = {"the red LED current", 0, 255};
const NumberRule kGreenRule = {"the green LED current", 0, 255};
const NumberRule kBlueRule = {"the blue LED current", 0, 255};

namespace {

SequenceOutcome lastSequenceRun = {};

}  // namespace

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

std::string ArgumentProblem(const Action& action)
{
    const auto check = [](const NumberRule& rule, int value) {
        return value < rule.low || value > rule.high ? NumberProblem(rule, std::to_string(value)) : std::string();
    };
    std::string problem;
    switch (action.kind) {
    case ActionKind::FullFringes:
        problem = check(kFrequencyRule, action.frequency);
        break;
    case ActionKind::Range:
        problem = check(kFrequencyRule, action.frequency);
        problem = problem.empty() ? check(kFirstRule, action.first) : problem;
        problem = problem.empty() ? check(kLastRule, action.last) : problem;
        if (problem.empty() && action.first > action.last) {
            problem = RangeOrderProblem();
        }
        break;
    case ActionKind::OnePicture:
        problem = check(kFrequencyRule, action.frequency);
        problem = problem.empty() ? check(kPictureRule, action.first) : problem;
        break;
    case ActionKind::Leds:
        problem = check(kRedRule, action.leds[0]);
        problem = problem.empty() ? check(kGreenRule, action.leds[1]) : problem;
        problem = problem.empty() ? check(kBlueRule, action.leds[2]) : problem;
        break;
    case ActionKind::Sequence:
        problem = action.sequence == nullptr ? "no sequence was read" : "";
        break;
    default:
        break;
    }
    return problem;
}

SequenceRequest ReadSequenceAction(const std::string& path, std::string_view shownAs)
{
    SequenceFile file = ReadSequenceFile(path);
    SequenceRequest request;
    for (const SequenceError& error : file.errors) {
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

void RunAction(const Action& action)
{
    ClearLinkCounters();
    ClearLutValidation();
    linkActivity.commandWord.store(0, std::memory_order_relaxed);
    switch (action.kind) {
    case ActionKind::Connect:
        ConnectDevice();
        break;
    case ActionKind::StartVideoMode:
        StartVideoMode();
        break;
    case ActionKind::Pause:
        PauseSequence();
        break;
    case ActionKind::Stop:
        StopSequence();
        break;
    case ActionKind::FullFringes:
        ProjectFullFringes(action.frequency);
        break;
    case ActionKind::Range:
        ProjectRange(action.frequency, action.first, action.last);
        break;
    case ActionKind::OnePicture:
        ProjectOnePicture(action.frequency, action.first);
        break;
    case ActionKind::Cross:
        ProjectCross();
        break;
    case ActionKind::Leds:
        SetLedCurrents(static_cast<std::uint8_t>(action.leds[0]), static_cast<std::uint8_t>(action.leds[1]),
                       static_cast<std::uint8_t>(action.leds[2]));
        break;
    case ActionKind::Sequence:
        lastSequenceRun = RunSequence(*action.sequence, action.startAnyway);
        break;
    }
}

const SequenceOutcome& LastSequenceRun() { return lastSequenceRun; }

}  // namespace lumora
