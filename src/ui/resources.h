// The resources the dialogs share: the application icon, built from the
// PNGs rendered from resources/lumora.svg.
#pragma once

#include <QIcon>

namespace lumora::ui {

// The application icon at 16, 24, 32, 48 and 256 pixels.
QIcon LoadAppIcon();

}  // namespace lumora::ui
