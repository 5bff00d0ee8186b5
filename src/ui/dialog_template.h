// The dialogs as data: each dialog is a template of controls measured in
// dialog units, walked by the code that builds the window (dialog.cpp). The
// tables here are the whole of the main dialog's and the About box's layout.
//
// Dialog units are relative to the dialog's font: a horizontal unit is a
// quarter of the font's average character width, a vertical unit an eighth of
// its height. The conversion below is pure so that it can be checked alone.
#pragma once

#include <cstdint>
#include <span>

namespace lumora::ui {

// Resource ids: the dialog templates, the application icon, the string of the
// About menu item.
enum ResourceId : int {
    IDD_ABOUTBOX = 100,
    IDS_ABOUTBOX = 101,
    IDD_LUMORA_DIALOG = 102,
    IDD_LED_CURRENTS = 103,
    IDR_MAINFRAME = 128,
};

// Control ids. Labels carry IDC_STATIC; no control has 1006.
enum ControlId : int {
    IDC_STATIC = -1,
    IDOK = 1,
    IDCANCEL = 2,
    IDC_PROJECT_FULL_FRINGES = 1000,
    IDC_PROJECT_RANGE = 1001,
    IDC_PROJECT_ONE_PICTURE = 1002,
    IDC_PROJECT_CROSS = 1003,
    IDC_CONNECT_USB = 1004,
    IDC_USB_CONNECTED = 1005,
    IDC_START = 1007,
    IDC_PAUSE = 1008,
    IDC_STOP = 1009,
    IDC_FREQUENCY = 1010,
    IDC_PICTURE = 1011,
    IDC_PICTURE_M = 1012,
    IDC_PICTURE_N = 1013,
    IDC_LED_RED = 1020,
    IDC_LED_GREEN = 1021,
    IDC_LED_BLUE = 1022,
    IDC_STATUS_LINE = 1030,  // the main dialog's, beneath its template
    ID_HELP = 57670,
};

enum class ControlKind : std::uint8_t {
    DefPushButton,  // the button that Enter presses
    PushButton,
    AutoCheckBox,   // toggles its own tick when clicked
    Edit,
    Label,          // static text, left-aligned
    Icon,           // static picture of the application icon
};

// Control styles that matter to how the control is built.
enum ControlStyle : unsigned {
    kTabStop = 1u << 0,     // reached by Tab; tab order is template order
    kGroup = 1u << 1,       // starts a group
    kNoPrefix = 1u << 2,    // '&' is shown, not taken as a mnemonic
    kBorder = 1u << 3,
    kAutoHScroll = 1u << 4,
};

// Dialog styles.
enum DialogStyle : unsigned {
    kThickFrame = 1u << 0,  // resizable frame; the controls keep their places
    kModalFrame = 1u << 1,  // fixed frame
    kAppWindow = 1u << 2,   // a top-level window with its own task-bar entry
};

struct DialogUnitRect {
    int x;
    int y;
    int width;
    int height;
};

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* caption;  // UTF-8; empty for edits and the icon
    DialogUnitRect rect;
    unsigned style;
};

struct DialogTemplate {
    int id;
    const char* caption;
    int width;   // client area, dialog units
    int height;
    unsigned style;
    std::span<const ControlTemplate> controls;  // template order = tab order
};

// Template 102, the main dialog, template 100, the About box, and template
// 103, the LED currents.
extern const DialogTemplate kMainDialogTemplate;
extern const DialogTemplate kAboutDialogTemplate;
extern const DialogTemplate kLedCurrentsDialogTemplate;

// The main dialog's status line, beneath the template's controls and no part
// of its tab order, and the dialog's height once it has grown to hold it.
inline constexpr DialogUnitRect kStatusLineRect = {4, 201, 367, 18};  // two lines: a long outcome wraps
inline constexpr int kMainDialogHeightWithStatus = 221;

// The string resources; an id without a string yields "".
const char* LoadResourceString(int id);

// The font's measure: average width of the 52 letters A-Z a-z, rounded, and
// the font's height, in pixels.
struct BaseUnits {
    int horizontal;
    int vertical;
};

// Base units from the summed advance of "A...Za...z" and the font height.
BaseUnits BaseUnitsFromMetrics(int advanceOf52Letters, int fontHeight);

// a * b / c computed in 64 bits and rounded half away from zero.
int MulDiv(int a, int b, int c);

struct PixelRect {
    int x;
    int y;
    int width;
    int height;
};

// x and width times horizontal / 4, y and height times vertical / 8, each
// rounded.
PixelRect DialogUnitsToPixels(DialogUnitRect rect, BaseUnits units);

// Where a minimised window draws its icon along one axis: the difference
// halved with truncation toward zero, (36, 32) -> 2 and (0, 32) -> -15.
int IconOrigin(int clientExtent, int iconExtent);

}  // namespace lumora::ui
