#include "connection/usb_place.h"

#include <cctype>
#include <cstdlib>
#include <string_view>

namespace lumora {

namespace {

constexpr std::string_view kUsbPhysPrefix = "usb-";  // the USB HID driver's HID_PHYS: usb-CONTROLLER-PATH/inputN
constexpr std::string_view kInputPrefix = "/input";


bool IsPortPath(std::string_view path)
{
    if (path.empty() || path.front() == '.' || path.back() == '.') {
        return false;
    }
    for (const char c : path) {
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.') {
            return false;
        }
    }
    return true;
}

// "usb-0000:00:14.0-2.3/input1" gives "0000:00:14.0-2.3". The controller's
// name may hold dashes itself ("xhci-hcd.0.auto"); the port path, digits and
// dots, follows the last one.
std::string PortInPhys(const std::string& phys)
{
    if (!phys.starts_with(kUsbPhysPrefix)) {
        return "";
    }
    std::string_view rest(phys);
    rest.remove_prefix(kUsbPhysPrefix.size());
    rest = rest.substr(0, rest.find('/'));
    const std::size_t dash = rest.rfind('-');
    if (dash == std::string_view::npos || dash == 0 || !IsPortPath(rest.substr(dash + 1))) {
        return "";
    }
    return std::string(rest);
}

}  // namespace

std::string PortOf(const UsbPlace& place)
{
    return !place.usbDevice.empty() ? place.usbDevice : PortInPhys(place.phys);
}

int InterfaceInPhys(const std::string& phys)
{
    const std::size_t at = phys.rfind(kInputPrefix);
    if (at == std::string::npos) {
        return -1;
    }
    const std::string digits = phys.substr(at + kInputPrefix.size());
    if (digits.empty() || digits.size() > 3 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
        return -1;
    }
    return std::atoi(digits.c_str());
}

}  // namespace lumora
