// The About box: the application icon, the name and version, and "OK".
#pragma once

#include "ui/dialog.h"

namespace lumora::ui {

class CAboutDlg : public CDialogEx {
public:
    // parent owns the box and stays blocked while it runs modally.
    explicit CAboutDlg(CWnd* parent = nullptr);
};

}  // namespace lumora::ui
