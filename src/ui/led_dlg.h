// The LED currents: three fields, red, green and blue, each 0 to 255 and
// checked as the main dialog checks its fields. OK hands the three values
// back to the main dialog, which runs the LED action with them.
#pragma once

#include "ui/dialog.h"

namespace lumora::ui {

class CLedCurrentsDlg : public CDialogEx {
public:
    explicit CLedCurrentsDlg(CWnd* parent = nullptr);

    int red = 0;    // edit 1020
    int green = 0;  // edit 1021
    int blue = 0;   // edit 1022

protected:
    void DoDataExchange(CDataExchange& dx) override;
};

}  // namespace lumora::ui
