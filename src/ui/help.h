// The operator help behind the dialog's "&Help" button.
#pragma once

#include <QString>

class QWidget;

namespace lumora::ui {

// What each button does, the ranges of the fields and how to connect.
QString OperatorHelpText();

// Shows the help text in a message box, modal over parent.
void ShowOperatorHelp(QWidget* parent);

}  // namespace lumora::ui
