// The application's start on Qt: the QApplication, its name and icon.
#include "ui/lumora_app.h"
#include "ui/qt/qt_window.h"
#include "ui/resources.h"

#include <QApplication>
#include <QIcon>

namespace lumora::ui {

int CLumoraApp::Run(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumora"));
    QApplication::setWindowIcon(QtIcon(LoadAppIcon()));
    InitInstance();
    return 0;
}

}  // namespace lumora::ui
