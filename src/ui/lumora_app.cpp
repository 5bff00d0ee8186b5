#include "ui/lumora_app.h"

#include "ui/lumora_dlg.h"

namespace lumora::ui {

bool CLumoraApp::InitInstance()
{
    CLumoraDlg dialog;
    dialog.DoModal();  // OK, Cancel and the close command end alike
    return false;
}

}  // namespace lumora::ui
