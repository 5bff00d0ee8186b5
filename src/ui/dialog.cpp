// The dialog's handling that is the same on every system; the window itself
// is the back end's (qt/dialog_qt.cpp, win32/).
#include "ui/dialog.h"

#include <utility>

namespace lumora::ui {

std::unique_ptr<CWnd> NewControlHandle(ControlKind kind)
{
    switch (kind) {
    case ControlKind::DefPushButton:
    case ControlKind::PushButton:
    case ControlKind::AutoCheckBox:
        return std::make_unique<CButton>();
    case ControlKind::Edit:
        return std::make_unique<CEdit>();
    case ControlKind::Label:
    case ControlKind::Icon:
        break;
    }
    return std::make_unique<CStatic>();
}

CWnd* CDialogEx::Adopt(std::unique_ptr<CWnd> control, int id)
{
    CWnd* kept = owned_.emplace_back(std::move(control)).get();
    if (id != IDC_STATIC) {
        byId_[id] = kept;
    }
    return kept;
}

CWnd* CDialogEx::GetDlgItem(int id) const
{
    const auto found = byId_.find(id);
    return found != byId_.end() ? found->second : nullptr;
}

bool CDialogEx::UpdateData(bool saveAndValidate)
{
    CDataExchange dx(*this, saveAndValidate, hooks.prompt);
    DoDataExchange(dx);
    dx.SettleOutOfRange();
    return !dx.Failed();
}

void CDialogEx::DoDataExchange(CDataExchange&) {}

bool CDialogEx::OnInitDialog()
{
    UpdateData(false);
    return true;
}

void CDialogEx::OnCommand(int id)
{
    if (id == IDOK) {
        OnOK();
    } else if (id == IDCANCEL) {
        OnCancel();
    }
}

void CDialogEx::OnOK()
{
    if (UpdateData(true)) {
        EndDialog(IDOK);
    }
}

void CDialogEx::OnCancel() { EndDialog(IDCANCEL); }

void CDialogEx::OnClose() { OnCancel(); }

void CDialogEx::OnSysCommand(unsigned id)
{
    if ((id & kSystemCommandMask) == SC_CLOSE) {
        OnClose();
    }
}

void CDialogEx::OnTimer(unsigned) {}

void CDialogEx::OnInitMenuPopup(CMenu*) {}

void CDialogEx::OnDescriptorReadable(int) {}

HICON CDialogEx::OnQueryDragIcon() { return nullptr; }

}  // namespace lumora::ui
