#include "ui/about_dlg.h"

namespace lumora::ui {

CAboutDlg::CAboutDlg(CWnd* parent) : CDialogEx(kAboutDialogTemplate, parent) {}

}  // namespace lumora::ui
