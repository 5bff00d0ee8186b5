// The operator's actions as every front end runs them: the dialog's buttons,
// lumoractl's commands and the Python module's calls. An action names the
// operation and its arguments; the rules for the arguments and the running
// of the operation live here once.
#pragma once

#include "connection/connection.h"
#include "connection/diagnosis.h"
#include "patterns/command_run.h"
#include "patterns/presets.h"
#include "patterns/sequence_file.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

struct Sequence;

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

// The numbers' rules (NumberRule, kFrequencyRule ...) are the presets'
// (patterns/presets.h).

// The first rule the action's arguments break; empty when they keep them.
RuleBreak BrokenRule(const Action& action);

// Why a number typed for the rule is refused: "the frequency (Hz) must be a
// whole number from 1 to 120, not 'ten'" (the typed text made printable and
// cut to a sensible length).
std::string NumberProblem(const NumberRule& rule, std::string_view typed);
// The refusal of a range whose first picture lies above its last.
std::string RangeOrderProblem();

// "" when the action's arguments keep their rules; otherwise the first
// problem (BrokenRule), in the words of NumberProblem and RangeOrderProblem,
// or why a sequence cannot be sent. RunAction refuses such an action and
// sends nothing.
std::string ArgumentProblem(const Action& action);

// The action's command run. Returns false, with run unspecified, for an
// action with an argument problem, and for Connect, which sends nothing.
// Video mode's run is what goes out once the module has been opened afresh.
bool PlanAction(const Action& action, CommandRun& run);

inline constexpr std::size_t kShownSequenceErrors = 20;

// A Sequence action from a sequence file, read and checked whole; nothing
// is sent.
struct SequenceRequest {
    Action action;                        // kind Sequence, its sequence and name set, when errors is empty
    std::vector<SequenceError> errors;    // as ReadSequenceFile found them
    std::vector<std::string> errorLines;  // the first kShownSequenceErrors errors as a script's author is
                                          // shown them (FormatSequenceError, the file name made printable),
                                          // then "…and N more" when there are more
};

// Reads the sequence file at path ("-" reads standard input, named
// "<stdin>"). The action and the error lines name the file as shownAs, when
// given, else as path. Returns the action, or the file's errors.
SequenceRequest ReadSequenceAction(const std::string& path, std::string_view shownAs = {});

// What running an action did. Every outcome is told from this alone.
struct ActionRecord {
    std::string problem;          // the action broke a rule (ArgumentProblem); nothing was sent
    bool opensModule = false;     // Connect and video mode open the module themselves
    bool opened = false;          // ... and the open succeeded
    OpenDiagnosis openFailure{};  // ... or why it did not
    OpenModule module;            // the module opened
    RunRecord run;                // the packets, the table verdict and whether the sequence was started
};

// Clears what the link has seen, checks the action's arguments and runs it
// to its end. The module must be open already unless the action opens it
// itself. Returns what it did; an invalid action sends nothing.
ActionRecord RunAction(const Action& action);

}  // namespace lumora
