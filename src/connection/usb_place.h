// Where a HID interface sits on the USB, as the kernel's device tree tells
// it through libudev: the USB device above its hidraw node, if any, and the
// HID_PHYS of its HID device ("usb-0000:00:14.0-2.3/input1": the host
// controller, the port path and the interface). The binaries link the
// system's libudev; the tests link the simulated controller, which stands in
// for the few libudev functions used here and in the module watcher.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct udev;
struct udev_device;

namespace lumora {

struct UsbPlace {
    bool known = false;            // the system knows the node as a hidraw device with a HID device above it
    std::uint16_t vendorId = 0;    // from HID_ID
    std::uint16_t productId = 0;
    std::string phys;              // HID_PHYS; empty when the HID device has none
    std::string usbDevice;         // the USB device's name in sysfs ("1-2.3"); empty when there is
                                   // none above the node (a virtual device on uhid)
};

// The places of the nodes that the HID library enumerated, in their order:
// on Linux through libudev (usb_place_posix.cpp); on Windows none is known
// (usb_place_windows.cpp).
std::vector<UsbPlace> PlacesOfNodes(const std::vector<std::string>& nodes);

// Linux: the place of a hidraw device that libudev handed out (enumerated, or added
// as a monitor saw it). Reads the device tree above it, which must still be
// there: a removed device has no place.
UsbPlace PlaceOf(udev_device* hidraw);

// The place of the hidraw node at path (/dev/hidrawN), looked up by its name;
// not known when the system has no such hidraw device.
UsbPlace PlaceOfNode(udev* context, const std::string& path);

// Where an interface is plugged in: the USB device's name ("1-2.3") where
// sysfs has one, else the host controller and port path that HID_PHYS names
// ("0000:00:14.0-2.3"); "" when neither tells.
std::string PortOf(const UsbPlace& place);

// The interface number that HID_PHYS ends in ("/input1" gives 1); -1 when it
// names none.
int InterfaceInPhys(const std::string& phys);

}  // namespace lumora
