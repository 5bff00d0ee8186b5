#include "ui/resources.h"

namespace lumora::ui {

QIcon LoadAppIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 256}) {
        icon.addFile(QStringLiteral(":/lumora/lumora-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace lumora::ui
