// The operator's window: eight action buttons, four number fields and the
// connection check box. It collects the values, checks them, and hands plain
// copies to one operation per button; of what the operations achieve it shows
// only the tick after "ConnectUSB".
#pragma once

#include "ui/dialog.h"

#include <QIcon>

namespace lumora::ui {

// The id of the About item; ids 0x0010 to 0x001F all reach it.
inline constexpr unsigned AboutCommand = 0x0010;

// Where the minimised window draws its icon along one axis: the difference
// halved with truncation toward zero, (36, 32) -> 2 and (0, 32) -> -15.
int IconOrigin(int clientExtent, int iconExtent);

class CLumoraDlg : public CDialogEx {
    Q_OBJECT

public:
    // Puts the link into its start-up state: no device open, the HID library
    // released once.
    explicit CLumoraDlg(QWidget* parent = nullptr);

    // The About box for command ids whose masked value is AboutCommand; every
    // other id goes to the default processing.
    void OnSysCommand(unsigned id) override;

    QIcon appIcon;
    int usbConnected = 0;  // check box 1005
    int frequency = 10;    // Hz, edit 1010
    int picture = 12;      // edit 1011
    int pictureM = 10;     // edit 1012
    int pictureN = 20;     // edit 1013

protected:
    void DoDataExchange(CDataExchange& dx) override;
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void OnProjectFullFringes();
    void OnProjectRange();
    void OnProjectOnePicture();
    void OnProjectCross();
    void OnConnectUsb();
    void OnStart();
    void OnPause();
    void OnStop();
    void OnHelp();

    struct MessageMapEntry {
        int id;
        void (CLumoraDlg::*handler)();
    };
    static const MessageMapEntry kMessageMap[];
};

}  // namespace lumora::ui
