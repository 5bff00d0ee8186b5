#include "ui/data_exchange.h"

#include "ui/dialog.h"

#include <limits>
#include <utility>

namespace lumora::ui {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// One past the largest magnitude a 32-bit int holds (that of its minimum).
constexpr std::int64_t kMagnitudeLimit = -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min());

}  // namespace

ParsedInteger ParseInteger(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size() && IsBlank(text[at])) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    const std::size_t firstDigit = at;
    std::int64_t magnitude = 0;
    bool tooLarge = false;
    for (; at < text.size() && IsDigit(text[at]); ++at) {
        if (!tooLarge) {
            magnitude = magnitude * 10 + (text[at] - '0');
            tooLarge = magnitude > kMagnitudeLimit;  // stops growing here, so never overflows
        }
    }
    if (at == firstDigit) {
        return {IntegerText::NotInteger, 0};
    }
    while (at < text.size() && IsBlank(text[at])) {
        ++at;
    }
    if (at != text.size()) {
        return {IntegerText::NotInteger, 0};
    }
    if (tooLarge || (!negative && magnitude == kMagnitudeLimit)) {
        return {IntegerText::OutOfRange, 0};
    }
    return {IntegerText::Valid, static_cast<std::int32_t>(negative ? -magnitude : magnitude)};
}

std::string IntegerPrompt() { return "Please enter an integer."; }

std::string RangePrompt(int minValue, int maxValue)
{
    return "Please enter an integer between " + std::to_string(minValue) + " and " + std::to_string(maxValue) + ".";
}

void PromptAndFocus(const PromptFunction& prompt, CWnd& dialog, CWnd* control, const std::string& text)
{
    if (prompt) {
        prompt(dialog, text);
    }
    if (control != nullptr) {
        control->SetFocus();
        if (auto* edit = dynamic_cast<CEdit*>(control)) {
            edit->SetSel(0, -1);
        }
    }
}

CDataExchange::CDataExchange(CDialogEx& dialog, bool saveAndValidate, PromptFunction prompt)
    : dialog_(dialog), saveAndValidate_(saveAndValidate), prompt_(std::move(prompt))
{
}

CWnd* CDataExchange::PrepareCtrl(int id)
{
    lastControl_ = dialog_.GetDlgItem(id);
    return lastControl_;
}

void CDataExchange::Fail(const std::string& text)
{
    failed_ = true;
    outOfRange_ = false;
    PromptAndFocus(prompt_, dialog_, lastControl_, text);
}

bool CDataExchange::TakeOutOfRange() { return std::exchange(outOfRange_, false); }

void CDataExchange::SettleOutOfRange()
{
    if (!failed_ && TakeOutOfRange()) {
        Fail(RangePrompt(std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
    }
}

void DDX_Check(CDataExchange& dx, int id, int& value)
{
    dx.SettleOutOfRange();
    if (dx.Failed()) {
        return;
    }
    auto& box = dynamic_cast<CButton&>(*dx.PrepareCtrl(id));
    if (dx.SaveAndValidate()) {
        value = box.GetCheck() != 0 ? 1 : 0;
    } else {
        box.SetCheck(value == 1 ? 1 : 0);
    }
}

void DDX_Text(CDataExchange& dx, int id, int& value)
{
    dx.SettleOutOfRange();
    if (dx.Failed()) {
        return;
    }
    CWnd& edit = *dx.PrepareCtrl(id);
    if (!dx.SaveAndValidate()) {
        edit.SetWindowText(std::to_string(value));
        return;
    }
    const ParsedInteger parsed = ParseInteger(edit.GetWindowText());
    switch (parsed.result) {
    case IntegerText::Valid:
        value = parsed.value;
        break;
    case IntegerText::NotInteger:
        dx.Fail(IntegerPrompt());
        break;
    case IntegerText::OutOfRange:
        dx.MarkOutOfRange();
        break;
    }
}

void DDV_MinMaxInt(CDataExchange& dx, int value, int minValue, int maxValue)
{
    if (dx.Failed() || !dx.SaveAndValidate()) {
        return;
    }
    if (dx.TakeOutOfRange() || value < minValue || value > maxValue) {
        dx.Fail(RangePrompt(minValue, maxValue));
    }
}

}  // namespace lumora::ui
