#include "ui/help.h"

#include "patterns/presets.h"

#include <QMessageBox>

namespace lumora::ui {

QString OperatorHelpText()
{
    return QStringLiteral(
               "Connecting\n"
               "Plug the projection module in over USB and press \"ConnectUSB\". "
               "\"USB Connected ?\" is ticked when the module was found and cleared when it was not. "
               "The tick shows the outcome of the last \"ConnectUSB\" only; it does not follow the link.\n"
               "\n"
               "Projecting (each button runs to its end; the window waits meanwhile)\n"
               "\"Project Full Fringes\": the 31 fringe patterns of flash images 0 to 10 at the Frequency.\n"
               "\"Project From M to N\": pictures M to N at the Frequency; M must not be greater than N.\n"
               "\"Project 1 Picture\": the one picture given under \"Project 1 Picture\" at the Frequency.\n"
               "\"Project Cross\": the fixed cross pattern at 120 Hz; it reads no field.\n"
               "\n"
               "Controlling\n"
               "\"START\": reconnects and puts the module back into video mode.\n"
               "\"PAUSE\" and \"STOP\": pause or stop the running pattern sequence.\n"
               "\n"
               "Fields\n"
               "Frequency: %1 to %2 Hz. Pictures (Project 1 Picture, M and N): %3 to %4.\n"
               "The three projecting buttons that read fields check all four first and send nothing "
               "while one of them is refused.\n"
               "\n"
               "\"OK\" checks the fields and closes the window; \"Cancel\" and Escape close it at once. "
               "Closing the window leaves the module as it is.")
        .arg(kMinFrequency)
        .arg(kMaxFrequency)
        .arg(kMinPicture)
        .arg(kMaxPicture);
}

void ShowOperatorHelp(QWidget* parent)
{
    QMessageBox::information(parent, QStringLiteral("Lumora Help"), OperatorHelpText());
}

}  // namespace lumora::ui
