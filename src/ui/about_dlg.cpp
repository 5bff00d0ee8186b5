#include "ui/about_dlg.h"

namespace lumora::ui {

CAboutDlg::CAboutDlg(QWidget* parent) : CDialogEx(kAboutDialogTemplate, parent) {}

}  // namespace lumora::ui
