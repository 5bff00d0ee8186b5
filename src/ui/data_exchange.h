// The data exchange: moves values between a dialog's controls and its members,
// in one direction per run. Loading writes members into controls; saving
// reads controls into members and validates them. A dialog's DoDataExchange
// lists its fields with DDX_Check, DDX_Text and DDV_MinMaxInt in order; the
// first failure prompts the operator, puts the focus back on the failing
// field with its text selected, and turns every later call of the run into a
// no-op, so the fields after it are not read.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace lumora::ui {

class CDialogEx;
class CWnd;

// How an edit's text reads as a 32-bit signed integer.
enum class IntegerText : std::uint8_t {
    Valid,       // value holds it
    NotInteger,  // empty, a stray character, or no digits
    OutOfRange,  // a well-formed integer beyond the 32-bit range
};

struct ParsedInteger {
    IntegerText result;
    std::int32_t value;  // 0 unless result is Valid
};

// Optional blanks (spaces, tabs), at most one '+' or '-', one or more decimal
// digits, optional blanks, nothing else. Never wraps: a number outside
// -2147483648..2147483647 is OutOfRange, however many digits it has.
ParsedInteger ParseInteger(std::string_view text);

// The prompts; the range prompt with its bounds filled in.
std::string IntegerPrompt();
std::string RangePrompt(int minValue, int maxValue);

// Shows one prompt (UTF-8) to the operator, modal over parent.
using PromptFunction = std::function<void(CWnd& parent, const std::string& text)>;

// Prompts, then gives control the focus and selects its text when it is an
// edit; what a failed exchange and the dialog's own refusals do.
void PromptAndFocus(const PromptFunction& prompt, CWnd& dialog, CWnd* control, const std::string& text);

class CDataExchange {
public:
    CDataExchange(CDialogEx& dialog, bool saveAndValidate, PromptFunction prompt);

    // true: controls to members with validation; false: members to controls.
    bool SaveAndValidate() const { return saveAndValidate_; }
    bool Failed() const { return failed_; }

    // The control that the following DDV_ check refers to.
    CWnd* PrepareCtrl(int id);
    // Prompts, puts the focus on the last prepared control and ends the run.
    void Fail(const std::string& text);

    // A number that DDX_Text found beyond 32 bits waits for the range check
    // that follows it; without one it fails with the 32-bit bounds here.
    void MarkOutOfRange() { outOfRange_ = true; }
    bool TakeOutOfRange();
    void SettleOutOfRange();

private:
    CDialogEx& dialog_;
    bool saveAndValidate_;
    PromptFunction prompt_;
    CWnd* lastControl_ = nullptr;
    bool failed_ = false;
    bool outOfRange_ = false;
};

// The controls are named by their ids, which must be a check box's and an
// edit's of the dialog.
// Check box state <-> value (1 ticked, 0 clear).
void DDX_Check(CDataExchange& dx, int id, int& value);
// Edit text <-> signed integer. Saving stores a parsed value before any range
// check; text that is not an integer fails with the integer prompt and stores
// nothing; a number beyond 32 bits stores nothing and fails at the range check.
void DDX_Text(CDataExchange& dx, int id, int& value);
// Inclusive range check of the value just exchanged; saving direction only.
void DDV_MinMaxInt(CDataExchange& dx, int value, int minValue, int maxValue);

}  // namespace lumora::ui
