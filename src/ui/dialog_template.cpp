#include "ui/dialog_template.h"

#include <cstdint>
#include <cstdlib>

namespace lumora::ui {

namespace {

constexpr unsigned kButton = kTabStop;
constexpr unsigned kEdit = kTabStop | kBorder | kAutoHScroll;
constexpr unsigned kLabel = kGroup;

// Main dialog, 375 x 204 dialog units, caption "Lumora".
//   id, kind, caption, x, y, width, height, style
constexpr ControlTemplate kMainControls[] = {
    {IDOK, ControlKind::DefPushButton, "OK", {209, 183, 50, 14}, kButton},
    {IDCANCEL, ControlKind::PushButton, "Cancel", {325, 183, 50, 14}, kButton},
    {ID_HELP, ControlKind::PushButton, "&Help", {152, 183, 50, 14}, kButton},
    {IDC_PROJECT_FULL_FRINGES, ControlKind::PushButton, "Project Full Fringes", {18, 25, 66, 15}, kButton},
    {IDC_PROJECT_RANGE, ControlKind::PushButton, "Project From M to N", {18, 58, 72, 19}, kButton},
    {IDC_PROJECT_ONE_PICTURE, ControlKind::PushButton, "Project 1 Picture", {23, 97, 62, 16}, kButton},
    {IDC_PROJECT_CROSS, ControlKind::PushButton, "Project Cross", {22, 140, 56, 15}, kButton},
    {IDC_CONNECT_USB, ControlKind::PushButton, "ConnectUSB", {278, 19, 54, 14}, kButton},
    {IDC_USB_CONNECTED, ControlKind::AutoCheckBox, "USB Connected ?", {272, 45, 71, 10}, kButton},
    {IDC_START, ControlKind::PushButton, "START", {281, 90, 50, 14}, kButton},
    {IDC_PAUSE, ControlKind::PushButton, "PAUSE", {282, 114, 50, 14}, kButton},
    {IDC_STOP, ControlKind::PushButton, "STOP", {282, 141, 50, 14}, kButton},
    {IDC_FREQUENCY, ControlKind::Edit, "", {111, 26, 40, 14}, kEdit},
    {IDC_STATIC, ControlKind::Label, "Frequency", {113, 15, 35, 8}, kLabel},
    {IDC_STATIC, ControlKind::Label, "Project 1 Picture", {110, 91, 55, 8}, kLabel},
    {IDC_PICTURE, ControlKind::Edit, "", {115, 102, 40, 14}, kEdit},
    {IDC_STATIC, ControlKind::Label, "From Picture M to N", {104, 57, 66, 8}, kLabel},
    {IDC_PICTURE_M, ControlKind::Edit, "", {91, 70, 40, 14}, kEdit},
    {IDC_PICTURE_N, ControlKind::Edit, "", {156, 70, 40, 14}, kEdit},
};

// About box, 170 x 62 dialog units, caption "About Lumora".
constexpr ControlTemplate kAboutControls[] = {
    {IDC_STATIC, ControlKind::Icon, "", {14, 14, 21, 20}, 0},
    {IDC_STATIC, ControlKind::Label, "Lumora, Version 1.0", {42, 14, 114, 8}, kNoPrefix},
    {IDOK, ControlKind::DefPushButton, "OK", {113, 41, 50, 14}, kTabStop | kGroup},
};

// LED currents, 150 x 80 dialog units, caption "LED Currents".
constexpr ControlTemplate kLedCurrentsControls[] = {
    {IDC_STATIC, ControlKind::Label, "Red (0 to 255)", {7, 10, 64, 8}, kLabel},
    {IDC_LED_RED, ControlKind::Edit, "", {80, 7, 40, 14}, kEdit | kGroup},
    {IDC_STATIC, ControlKind::Label, "Green (0 to 255)", {7, 28, 64, 8}, kLabel},
    {IDC_LED_GREEN, ControlKind::Edit, "", {80, 25, 40, 14}, kEdit},
    {IDC_STATIC, ControlKind::Label, "Blue (0 to 255)", {7, 46, 64, 8}, kLabel},
    {IDC_LED_BLUE, ControlKind::Edit, "", {80, 43, 40, 14}, kEdit},
    {IDOK, ControlKind::DefPushButton, "OK", {37, 62, 50, 14}, kButton | kGroup},
    {IDCANCEL, ControlKind::PushButton, "Cancel", {93, 62, 50, 14}, kButton},
};

struct StringResource {
    int id;
    const char* text;
};

constexpr StringResource kStrings[] = {
    {IDS_ABOUTBOX, "&About Lumora..."},
};

}  // namespace

const DialogTemplate kMainDialogTemplate = {
    IDD_LUMORA_DIALOG, "Lumora", 375, 204, kThickFrame | kAppWindow, kMainControls,
};

const DialogTemplate kAboutDialogTemplate = {
    IDD_ABOUTBOX, "About Lumora", 170, 62, kModalFrame, kAboutControls,
};

const DialogTemplate kLedCurrentsDialogTemplate = {
    IDD_LED_CURRENTS, "LED Currents", 150, 80, kModalFrame, kLedCurrentsControls,
};

const char* LoadResourceString(int id)
{
    for (const StringResource& entry : kStrings) {
        if (entry.id == id) {
            return entry.text;
        }
    }
    return "";
}

BaseUnits BaseUnitsFromMetrics(int advanceOf52Letters, int fontHeight)
{
    // Half the width of 26 letters, rounded: the average over 52, rounded.
    return {(advanceOf52Letters / 26 + 1) / 2, fontHeight};
}

int MulDiv(int a, int b, int c)
{
    if (c == 0) {
        return -1;
    }
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t magnitude = (std::llabs(product) + std::llabs(c) / 2) / std::llabs(c);
    return static_cast<int>((product < 0) != (c < 0) ? -magnitude : magnitude);
}

PixelRect DialogUnitsToPixels(DialogUnitRect rect, BaseUnits units)
{
    return {
        MulDiv(rect.x, units.horizontal, 4),
        MulDiv(rect.y, units.vertical, 8),
        MulDiv(rect.width, units.horizontal, 4),
        MulDiv(rect.height, units.vertical, 8),
    };
}

int IconOrigin(int clientExtent, int iconExtent) { return (clientExtent - iconExtent + 1) / 2; }

}  // namespace lumora::ui
