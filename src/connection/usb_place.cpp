#include "connection/usb_place.h"

#include <libudev.h>

#include <cctype>
#include <cstdlib>
#include <string_view>

namespace lumora {

namespace {

constexpr std::string_view kUsbPhysPrefix = "usb-";  // the USB HID driver's HID_PHYS: usb-CONTROLLER-PATH/inputN
constexpr std::string_view kInputPrefix = "/input";

std::string Text(const char* value) { return value != nullptr ? value : ""; }

// HID_ID: "BUS:VENDOR:PRODUCT", each in hex ("0003:00000451:00006401").
bool ParseHidId(const std::string& id, std::uint16_t& vendor, std::uint16_t& product)
{
    const std::size_t first = id.find(':');
    const std::size_t second = first == std::string::npos ? first : id.find(':', first + 1);
    if (second == std::string::npos) {
        return false;
    }
    char* end = nullptr;
    const unsigned long v = std::strtoul(id.c_str() + first + 1, &end, 16);
    if (end != id.c_str() + second) {
        return false;
    }
    const unsigned long p = std::strtoul(id.c_str() + second + 1, &end, 16);
    if (*end != '\0' || v > 0xFFFF || p > 0xFFFF) {
        return false;
    }
    vendor = static_cast<std::uint16_t>(v);
    product = static_cast<std::uint16_t>(p);
    return true;
}

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

UsbPlace PlaceOf(udev_device* hidraw)
{
    UsbPlace place;
    if (hidraw == nullptr) {
        return place;
    }
    // Both parents belong to the hidraw device: no reference of their own.
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
    if (hid == nullptr) {
        return place;
    }
    place.known = ParseHidId(Text(udev_device_get_property_value(hid, "HID_ID")), place.vendorId, place.productId);
    place.phys = Text(udev_device_get_property_value(hid, "HID_PHYS"));
    if (udev_device* usb = udev_device_get_parent_with_subsystem_devtype(hidraw, "usb", "usb_device")) {
        place.usbDevice = Text(udev_device_get_sysname(usb));
    }
    return place;
}

UsbPlace PlaceOfNode(udev* context, const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (context == nullptr || name.empty()) {
        return {};
    }
    udev_device* hidraw = udev_device_new_from_subsystem_sysname(context, "hidraw", name.c_str());
    const UsbPlace place = PlaceOf(hidraw);
    if (hidraw != nullptr) {
        udev_device_unref(hidraw);
    }
    return place;
}

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
