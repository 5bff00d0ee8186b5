// The operator's actions as every front end runs them: the dialog's buttons,
// lumoractl's commands and the Python module's calls. An action names the
// operation and its arguments; the rules for the arguments and the running
// of the operation live here once.
#pragma once

#include "patterns/sequence_file.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

struct Sequence;
struct SequenceOutcome;

enum class ActionKind {
    Connect,         // open and lock the module (sends nothing)
    StartVideoMode,  // reopen and put the module back into video mode
    Pause,
    Stop,
    FullFringes,
    Range,
    OnePicture,
    Cross,
    Leds,            // set the three LED currents of a running sequence
    Sequence,        // a sequence of the operator's own, read from a file
};

inline constexpr int kDefaultFrequency = 10;

struct Action {
    ActionKind kind = ActionKind::Connect;
    int frequency = kDefaultFrequency;  // Hz, for the three presets that take one
    int first = 0;                      // Range: first picture M; OnePicture: the picture
    int last = 0;                       // Range: last picture N
    std::array<int, 3> leds{};          // Leds: red, green, blue
    std::shared_ptr<const lumora::Sequence> sequence{};  // Sequence: as its file's reader accepted it
    std::string sequenceName{};         // Sequence: the file, as the operator named it
    bool startAnyway = false;           // Sequence: start even when the tables are not accepted
};

// Whether the action opens the module itself, or needs it open already.
bool OpensModule(ActionKind kind);
// Whether the action uploads look-up tables and has them checked.
bool ChecksTables(ActionKind kind);

// A number an action takes, with its inclusive range and its name in messages.
struct NumberRule {
    std::string_view name;
    int low;
    int high;
};
extern const NumberRule kFrequencyRule;  // 1 to 120 Hz
extern const NumberRule kPictureRule;    // the picture P, 1 to 31
extern const NumberRule kFirstRule;      // the first picture M
extern const NumberRule kLastRule;       // the last picture N
extern const NumberRule kRedRule;        // the red LED current, 0 to 255
extern const NumberRule kGreenRule;
extern const NumberRule kBlueRule;

// Why a number typed for the rule is refused: "the frequency (Hz) must be a
// whole number from 1 to 120, not 'ten'" (the typed text made printable and
// cut to a sensible length).
std::string NumberProblem(const NumberRule& rule, std::string_view typed);
// The refusal of a range whose first picture lies above its last.
std::string RangeOrderProblem();

// "" when the action's arguments keep their rules; otherwise the first
// problem, in the words of NumberProblem and RangeOrderProblem. An action
// with a problem must not run: nothing of it would be sent.
std::string ArgumentProblem(const Action& action);

// A Sequence action from a sequence file, read and checked whole; nothing
// is sent.
struct SequenceRequest {
    Action action;                        // kind Sequence, its sequence and name set, when errors is empty
    std::vector<SequenceError> errors;    // as ReadSequenceFile found them
    std::vector<std::string> errorLines;  // each error as a script's author is shown it:
                                          // FormatSequenceError, the file name made printable
};

// Reads the sequence file at path ("-" reads standard input, named
// "<stdin>"). The action and the error lines name the file as shownAs, when
// given, else as path. Returns the action, or the file's errors.
SequenceRequest ReadSequenceAction(const std::string& path, std::string_view shownAs = {});

// Clears what the link and the look-up-table check have seen, then runs the
// action's operation to its end. The module must be open already unless the
// action opens it itself.
void RunAction(const Action& action);

// What the last Sequence action's run came to.
const SequenceOutcome& LastSequenceRun();

}  // namespace lumora
