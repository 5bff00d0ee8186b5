// The module watcher on Linux: the kernel's device events through libudev's
// monitor.
#include "connection/module_watcher.h"

#include "connection/connection.h"
#include "connection/usb_place.h"

#include <libudev.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lumora {

namespace {

// Where udevd listens: where it runs, its events come after its rules have
// set up each node; without it (a container, a bare initramfs) only the
// kernel's own events come.
constexpr const char* kUdevControl = "/run/udev/control";

std::string Text(const char* value) { return value != nullptr ? value : ""; }

// The node and port of a hidraw device of the controller; nullopt for any
// other device.
std::optional<std::pair<std::string, std::string>> ControllerNode(udev_device* device)
{
    const UsbPlace place = PlaceOf(device);
    const std::string node = Text(udev_device_get_devnode(device));
    if (!place.known || place.vendorId != kVendorId || place.productId != kProductId || node.empty()) {
        return std::nullopt;
    }
    return std::pair(node, PortOf(place));
}

}  // namespace

struct ModuleWatcher::Udev {
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    ~Udev()
    {
        if (monitor != nullptr) {
            udev_monitor_unref(monitor);
        }
        if (context != nullptr) {
            udev_unref(context);
        }
    }
};

ModuleWatcher::ModuleWatcher() = default;
ModuleWatcher::~ModuleWatcher() = default;

bool ModuleWatcher::Start()
{
    auto udev = std::make_unique<Udev>();
    udev->context = udev_new();
    if (udev->context == nullptr) {
        error_ = "libudev is not available";
        return false;
    }
    const char* source = ::access(kUdevControl, F_OK) == 0 ? "udev" : "kernel";
    udev->monitor = udev_monitor_new_from_netlink(udev->context, source);
    if (udev->monitor == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype(udev->monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(udev->monitor) < 0) {
        error_ = std::string("cannot listen to device events: ") + std::strerror(errno);
        return false;
    }

    // Listening already: a module that comes or goes while the stock is
    // taken shows in the events that follow, and adding or removing a node
    // twice changes nothing.
    attached_ = {};
    udev_enumerate* all = udev_enumerate_new(udev->context);
    if (all != nullptr && udev_enumerate_add_match_subsystem(all, "hidraw") >= 0 && udev_enumerate_scan_devices(all) >= 0) {
        for (udev_list_entry* entry = udev_enumerate_get_list_entry(all); entry != nullptr;
             entry = udev_list_entry_get_next(entry)) {
            udev_device* device = udev_device_new_from_syspath(udev->context, udev_list_entry_get_name(entry));
            if (device == nullptr) {
                continue;
            }
            if (const auto found = ControllerNode(device)) {
                attached_.Add(found->first, found->second);
            }
            udev_device_unref(device);
        }
    }
    if (all != nullptr) {
        udev_enumerate_unref(all);
    }
    udev_ = std::move(udev);
    error_.clear();
    return true;
}

bool ModuleWatcher::Wait(int milliseconds)
{
    pollfd events{Fd(), POLLIN, 0};
    if (::poll(&events, 1, milliseconds) < 0 && errno != EINTR) {
        error_ = std::strerror(errno);
        return false;
    }
    return true;
}

int ModuleWatcher::Fd() const { return udev_ != nullptr ? udev_monitor_get_fd(udev_->monitor) : -1; }

std::vector<ModuleChange> ModuleWatcher::Changes()
{
    std::vector<ModuleChange> changes;
    if (udev_ == nullptr) {
        return changes;
    }
    // The monitor's socket does not block: it gives nullptr once no event waits.
    while (udev_device* device = udev_monitor_receive_device(udev_->monitor)) {
        const std::string action = Text(udev_device_get_action(device));
        std::vector<ModuleChange> made;
        if (action == "add") {
            if (const auto found = ControllerNode(device)) {
                made = attached_.Add(found->first, found->second);
            }
        } else if (action == "remove") {
            // The device tree above a removed node is gone: its node says which it was.
            made = attached_.Remove(Text(udev_device_get_devnode(device)));
        }
        changes.insert(changes.end(), made.begin(), made.end());
        udev_device_unref(device);
    }
    return changes;
}

}  // namespace lumora
