// The operator help behind the dialog's "&Help" button.
#pragma once

#include <string>

namespace lumora::ui {

class CWnd;

// What each button does, the ranges of the fields and how to connect.
std::string OperatorHelpText();

// Shows the help text in a message box, modal over parent.
void ShowOperatorHelp(CWnd& parent);

}  // namespace lumora::ui
