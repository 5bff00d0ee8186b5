#include "ui/lumora_app.h"

#include "ui/lumora_dlg.h"
#include "ui/resources.h"

#include <QApplication>

namespace lumora::ui {

int CLumoraApp::Run(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumora"));
    QApplication::setWindowIcon(LoadAppIcon());
    InitInstance();
    return 0;
}

bool CLumoraApp::InitInstance()
{
    CLumoraDlg dialog;
    dialog.DoModal();  // OK, Cancel and the close command end alike
    return false;
}

}  // namespace lumora::ui
