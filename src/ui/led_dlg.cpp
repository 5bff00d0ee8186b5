#include "ui/led_dlg.h"

#include "patterns/presets.h"

namespace lumora::ui {

CLedCurrentsDlg::CLedCurrentsDlg(CWnd* parent) : CDialogEx(kLedCurrentsDialogTemplate, parent) {}

void CLedCurrentsDlg::DoDataExchange(CDataExchange& dx)
{
    DDX_Text(dx, IDC_LED_RED, red);
    DDV_MinMaxInt(dx, red, kRedRule.low, kRedRule.high);
    DDX_Text(dx, IDC_LED_GREEN, green);
    DDV_MinMaxInt(dx, green, kGreenRule.low, kGreenRule.high);
    DDX_Text(dx, IDC_LED_BLUE, blue);
    DDV_MinMaxInt(dx, blue, kBlueRule.low, kBlueRule.high);
}

}  // namespace lumora::ui
