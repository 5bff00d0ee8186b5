// The resources the dialogs share: the application icon (IDR_MAINFRAME), at
// 16, 24, 32, 48 and 256 pixels, rendered from resources/lumora.svg.
#pragma once

#include "ui/wnd.h"

namespace lumora::ui {

// The application icon; it lives as long as the application.
HICON LoadAppIcon();

}  // namespace lumora::ui
