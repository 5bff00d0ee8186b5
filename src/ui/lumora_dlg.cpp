#include "ui/lumora_dlg.h"

#include "connection/connection.h"
#include "link/commands.h"
#include "patterns/presets.h"
#include "ui/about_dlg.h"
#include "ui/resources.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QStyle>

namespace lumora::ui {

namespace {

// The wait cursor for as long as an action runs.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

QString RangeOrderPrompt()
{
    return QStringLiteral("The first picture (M) must not be greater than the last picture (N).");
}

}  // namespace

int IconOrigin(int clientExtent, int iconExtent) { return (clientExtent - iconExtent + 1) / 2; }

// Button clicks, in the order the dialog handles them. The check box has an
// entry with no handler: a click only toggles its tick.
const CLumoraDlg::MessageMapEntry CLumoraDlg::kMessageMap[] = {
    {IDC_PROJECT_FULL_FRINGES, &CLumoraDlg::OnProjectFullFringes},
    {IDC_CONNECT_USB, &CLumoraDlg::OnConnectUsb},
    {IDC_USB_CONNECTED, nullptr},
    {IDC_START, &CLumoraDlg::OnStart},
    {IDC_PAUSE, &CLumoraDlg::OnPause},
    {IDC_STOP, &CLumoraDlg::OnStop},
    {IDC_PROJECT_RANGE, &CLumoraDlg::OnProjectRange},
    {IDC_PROJECT_ONE_PICTURE, &CLumoraDlg::OnProjectOnePicture},
    {IDC_PROJECT_CROSS, &CLumoraDlg::OnProjectCross},
    {ID_HELP, &CLumoraDlg::OnHelp},
};

CLumoraDlg::CLumoraDlg(QWidget* parent) : CDialogEx(kMainDialogTemplate, parent), appIcon(LoadAppIcon())
{
    EnterStartupState();
}

void CLumoraDlg::DoDataExchange(CDataExchange& dx)
{
    DDX_Check(dx, qobject_cast<QCheckBox*>(GetDlgItem(IDC_USB_CONNECTED)), usbConnected);
    DDX_Text(dx, qobject_cast<QLineEdit*>(GetDlgItem(IDC_FREQUENCY)), frequency);
    DDV_MinMaxInt(dx, frequency, kMinFrequency, kMaxFrequency);
    DDX_Text(dx, qobject_cast<QLineEdit*>(GetDlgItem(IDC_PICTURE)), picture);
    DDV_MinMaxInt(dx, picture, kMinPicture, kMaxPicture);
    DDX_Text(dx, qobject_cast<QLineEdit*>(GetDlgItem(IDC_PICTURE_M)), pictureM);
    DDV_MinMaxInt(dx, pictureM, kMinPicture, kMaxPicture);
    DDX_Text(dx, qobject_cast<QLineEdit*>(GetDlgItem(IDC_PICTURE_N)), pictureN);
    DDV_MinMaxInt(dx, pictureN, kMinPicture, kMaxPicture);
}

bool CLumoraDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();

    const QString aboutText = QString::fromUtf8(LoadResourceString(IDS_ABOUTBOX));
    if (QMenu* menu = GetSystemMenu(); menu != nullptr && !aboutText.isEmpty()) {
        menu->addSeparator();
        menu->addAction(aboutText)->setData(AboutCommand);
    }
    setWindowIcon(appIcon);
    return true;
}

void CLumoraDlg::OnCommand(int id)
{
    for (const MessageMapEntry& entry : kMessageMap) {
        if (entry.id == id) {
            if (entry.handler != nullptr) {
                (this->*entry.handler)();
            }
            return;
        }
    }
    CDialogEx::OnCommand(id);
}

void CLumoraDlg::OnSysCommand(unsigned id)
{
    if ((id & kSystemCommandMask) == AboutCommand) {
        CAboutDlg about(this);
        hooks.runModal(about);
        return;
    }
    CDialogEx::OnSysCommand(id);
}

void CLumoraDlg::paintEvent(QPaintEvent* event)
{
    if (!isMinimized()) {
        CDialogEx::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const int size = style()->pixelMetric(QStyle::PM_LargeIconSize);
    painter.drawPixmap(IconOrigin(width(), size), IconOrigin(height(), size), appIcon.pixmap(size, size));
}

void CLumoraDlg::OnProjectFullFringes()
{
    if (!UpdateData(true)) {
        return;
    }
    BusyCursor busy;
    ProjectFullFringes(frequency);
}

void CLumoraDlg::OnProjectRange()
{
    if (!UpdateData(true)) {
        return;
    }
    if (pictureM > pictureN) {
        PromptAndFocus(hooks.prompt, this, GetDlgItem(IDC_PICTURE_M), RangeOrderPrompt());
        return;
    }
    BusyCursor busy;
    ProjectRange(frequency, pictureM, pictureN);
}

void CLumoraDlg::OnProjectOnePicture()
{
    if (!UpdateData(true)) {
        return;
    }
    BusyCursor busy;
    ProjectOnePicture(frequency, picture);
}

void CLumoraDlg::OnProjectCross()
{
    BusyCursor busy;
    ProjectCross();
}

void CLumoraDlg::OnConnectUsb()
{
    bool connected = false;
    {
        BusyCursor busy;
        connected = ConnectDevice();
    }
    if (connected) {
        usbConnected = 1;
    }
    qobject_cast<QCheckBox*>(GetDlgItem(IDC_USB_CONNECTED))->setChecked(connected);
}

void CLumoraDlg::OnStart()
{
    BusyCursor busy;
    StartVideoMode();
}

void CLumoraDlg::OnPause()
{
    BusyCursor busy;
    PauseSequence();
}

void CLumoraDlg::OnStop()
{
    BusyCursor busy;
    StopSequence();
}

void CLumoraDlg::OnHelp()
{
    if (hooks.help) {
        hooks.help(this);
    }
}

}  // namespace lumora::ui
