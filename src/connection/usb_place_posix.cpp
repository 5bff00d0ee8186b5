// The places of hidraw nodes, from the kernel's device tree through libudev.
#include "connection/usb_place.h"

#include <libudev.h>

#include <cstdlib>

namespace lumora {

namespace {

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

std::vector<UsbPlace> PlacesOfNodes(const std::vector<std::string>& nodes)
{
    std::vector<UsbPlace> places;
    udev* context = nodes.empty() ? nullptr : udev_new();
    for (const std::string& node : nodes) {
        places.push_back(PlaceOfNode(context, node));
    }
    if (context != nullptr) {
        udev_unref(context);
    }
    return places;
}

}  // namespace lumora
