// The application's start on Win32: the common controls, the thread's COM
// apartment for the file chooser, and the main dialog.
#include "ui/lumora_app.h"
#include "ui/win32/windows_api.h"

#include <objbase.h>

namespace lumora::ui {

int CLumoraApp::Run(int, char**)
{
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    InitInstance();
    if (com) {
        CoUninitialize();
    }
    return 0;
}

}  // namespace lumora::ui
