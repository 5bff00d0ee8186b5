// The About box: the application icon, the name and version, and "OK".
#pragma once

#include "ui/dialog.h"

namespace lumora::ui {

class CAboutDlg : public CDialogEx {
    Q_OBJECT

public:
    // parent owns the box and stays blocked while it runs modally.
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace lumora::ui
