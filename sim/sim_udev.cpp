// The libudev functions the system calls, standing in for the system's
// libudev: the device tree of the simulated modules (each node's hidraw
// device, the HID device above it with HID_ID and HID_PHYS, and the USB
// device above that where the module has one), its enumeration, and a device
// monitor that sees nodes come and go as the simulated modules are unplugged
// and plugged back (sim::Unplug, UnplugAfter, ReplugAfter, VanishAfter).
//
// Only the hidraw subsystem is served. A monitor's descriptor is an epoll
// descriptor, readable while events wait or an unplug or replug is due.
#include "sim/attachment.h"

#include <libudev.h>

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>

namespace sim {

// The monitors are libudev's: their timers and counters wake whoever polls them.
void ArmTimers(Attachment& attachment)
{
    std::optional<Clock::time_point> next = attachment.unplugAll;
    for (const Away& away : attachment.away) {
        if (away.back && (!next || *away.back < *next)) {
            next = away.back;
        }
    }
    itimerspec when{};
    if (next) {
        const auto since = std::max(next->time_since_epoch(), Clock::duration(1));
        when.it_value.tv_sec = static_cast<time_t>(std::chrono::duration_cast<std::chrono::seconds>(since).count());
        when.it_value.tv_nsec = static_cast<long>((since % std::chrono::seconds(1)) / std::chrono::nanoseconds(1));
    }
    const std::uint64_t one = 1;
    for (MonitorQueue* monitor : attachment.monitors) {
        ::timerfd_settime(monitor->timerFd, TFD_TIMER_ABSTIME, &when, nullptr);
        if (!monitor->events.empty() && ::write(monitor->eventFd, &one, sizeof one) < 0) {
            // the counter is full: the monitor is readable all the same
        }
    }
}

}  // namespace sim

struct udev {
    int refs = 1;
};

struct udev_list_entry {
    std::string name;
    udev_list_entry* next = nullptr;
};

struct udev_device {
    int refs = 1;
    std::string subsystem;
    std::string devtype;
    std::string sysname;
    std::string syspath;
    std::string devnode;
    std::string action;
    std::map<std::string, std::string> properties;
    // The parents belong to the device, as libudev's do.
    std::unique_ptr<udev_device> hid;
    std::unique_ptr<udev_device> usb;
};

struct udev_enumerate {
    int refs = 1;
    bool hidraw = false;  // the one subsystem served
    std::vector<std::unique_ptr<udev_list_entry>> entries;
};

struct udev_monitor {
    int refs = 1;
    bool receiving = false;
    int epoll = -1;
    sim::MonitorQueue queue;
};

namespace {

constexpr const char* kSysDevices = "/sys/devices/lumora-sim/";

std::string NodeName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::string SysPath(const sim::Module& module) { return kSysDevices + NodeName(module.path); }

// The node's hidraw device; the device tree above it unless it is gone.
udev_device* NodeDevice(const sim::Module& module, const std::string& action, bool withParents)
{
    auto device = std::make_unique<udev_device>();
    device->subsystem = "hidraw";
    device->sysname = NodeName(module.path);
    device->syspath = SysPath(module);
    device->devnode = module.path;
    device->action = action;
    if (withParents) {
        device->hid = std::make_unique<udev_device>();
        device->hid->subsystem = "hid";
        char id[32];
        std::snprintf(id, sizeof id, "0003:%08X:%08X", module.vendorId, module.productId);
        device->hid->properties["HID_ID"] = id;
        if (!module.phys.empty()) {
            device->hid->properties["HID_PHYS"] = module.phys;
        }
        if (!module.usbDevice.empty()) {
            device->usb = std::make_unique<udev_device>();
            device->usb->subsystem = "usb";
            device->usb->devtype = "usb_device";
            device->usb->sysname = module.usbDevice;
        }
    }
    return device.release();
}

// The attached node that matches, as a device of its own; nullptr when none.
template <class Match>
udev_device* FindNode(Match match)
{
    sim::Attachment& attachment = sim::Attached();
    const std::lock_guard lock(attachment.mutex);
    sim::CatchUp(attachment, sim::Clock::now());
    for (const sim::Plugged& plugged : attachment.attached) {
        if (match(plugged.module)) {
            return NodeDevice(plugged.module, "", true);
        }
    }
    errno = ENODEV;
    return nullptr;
}

void Drain(int fd)
{
    std::uint64_t count = 0;
    while (fd >= 0 && ::read(fd, &count, sizeof count) > 0) {
    }
}

}  // namespace

extern "C" {

udev* udev_new(void) { return new udev; }

udev* udev_unref(udev* context)
{
    if (context != nullptr && --context->refs == 0) {
        delete context;
    }
    return nullptr;
}

udev_device* udev_device_new_from_subsystem_sysname(udev* context, const char* subsystem, const char* sysname)
{
    if (context == nullptr || subsystem == nullptr || sysname == nullptr || std::string(subsystem) != "hidraw") {
        errno = EINVAL;
        return nullptr;
    }
    const std::string name = sysname;
    return FindNode([&name](const sim::Module& module) { return NodeName(module.path) == name; });
}

udev_device* udev_device_new_from_syspath(udev* context, const char* syspath)
{
    if (context == nullptr || syspath == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    const std::string path = syspath;
    return FindNode([&path](const sim::Module& module) { return SysPath(module) == path; });
}

udev_device* udev_device_unref(udev_device* device)
{
    if (device != nullptr && --device->refs == 0) {
        delete device;
    }
    return nullptr;
}

udev_device* udev_device_get_parent_with_subsystem_devtype(udev_device* device, const char* subsystem,
                                                           const char* devtype)
{
    if (device == nullptr || subsystem == nullptr) {
        return nullptr;
    }
    for (udev_device* parent : {device->hid.get(), device->usb.get()}) {
        if (parent != nullptr && parent->subsystem == subsystem && (devtype == nullptr || parent->devtype == devtype)) {
            return parent;
        }
    }
    errno = ENOENT;
    return nullptr;
}

const char* udev_device_get_property_value(udev_device* device, const char* key)
{
    if (device == nullptr || key == nullptr) {
        return nullptr;
    }
    const auto found = device->properties.find(key);
    return found != device->properties.end() ? found->second.c_str() : nullptr;
}

const char* udev_device_get_sysname(udev_device* device)
{
    return device != nullptr && !device->sysname.empty() ? device->sysname.c_str() : nullptr;
}

const char* udev_device_get_devnode(udev_device* device)
{
    return device != nullptr && !device->devnode.empty() ? device->devnode.c_str() : nullptr;
}

const char* udev_device_get_action(udev_device* device)
{
    return device != nullptr && !device->action.empty() ? device->action.c_str() : nullptr;
}

udev_enumerate* udev_enumerate_new(udev* context) { return context != nullptr ? new udev_enumerate : nullptr; }

udev_enumerate* udev_enumerate_unref(udev_enumerate* enumerate)
{
    if (enumerate != nullptr && --enumerate->refs == 0) {
        delete enumerate;
    }
    return nullptr;
}

int udev_enumerate_add_match_subsystem(udev_enumerate* enumerate, const char* subsystem)
{
    if (enumerate == nullptr || subsystem == nullptr) {
        return -EINVAL;
    }
    enumerate->hidraw = enumerate->hidraw || std::string(subsystem) == "hidraw";
    return 0;
}

int udev_enumerate_scan_devices(udev_enumerate* enumerate)
{
    if (enumerate == nullptr) {
        return -EINVAL;
    }
    enumerate->entries.clear();
    if (!enumerate->hidraw) {
        return 0;
    }
    sim::Attachment& attachment = sim::Attached();
    const std::lock_guard lock(attachment.mutex);
    sim::CatchUp(attachment, sim::Clock::now());
    for (const sim::Plugged& plugged : attachment.attached) {
        enumerate->entries.push_back(std::make_unique<udev_list_entry>());
        enumerate->entries.back()->name = SysPath(plugged.module);
        if (enumerate->entries.size() > 1) {
            enumerate->entries[enumerate->entries.size() - 2]->next = enumerate->entries.back().get();
        }
    }
    return 0;
}

udev_list_entry* udev_enumerate_get_list_entry(udev_enumerate* enumerate)
{
    return enumerate != nullptr && !enumerate->entries.empty() ? enumerate->entries.front().get() : nullptr;
}

udev_list_entry* udev_list_entry_get_next(udev_list_entry* entry) { return entry != nullptr ? entry->next : nullptr; }

const char* udev_list_entry_get_name(udev_list_entry* entry) { return entry != nullptr ? entry->name.c_str() : nullptr; }

udev_monitor* udev_monitor_new_from_netlink(udev* context, const char* name)
{
    if (context == nullptr || name == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    return new udev_monitor;
}

int udev_monitor_filter_add_match_subsystem_devtype(udev_monitor* monitor, const char* subsystem, const char*)
{
    return monitor != nullptr && subsystem != nullptr ? 0 : -EINVAL;
}

int udev_monitor_enable_receiving(udev_monitor* monitor)
{
    if (monitor == nullptr) {
        return -EINVAL;
    }
    if (monitor->receiving) {
        return 0;
    }
    monitor->queue.eventFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    monitor->queue.timerFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    monitor->epoll = ::epoll_create1(EPOLL_CLOEXEC);
    if (monitor->queue.eventFd < 0 || monitor->queue.timerFd < 0 || monitor->epoll < 0) {
        return -errno;
    }
    for (const int fd : {monitor->queue.eventFd, monitor->queue.timerFd}) {
        epoll_event watch{};
        watch.events = EPOLLIN;
        watch.data.fd = fd;
        if (::epoll_ctl(monitor->epoll, EPOLL_CTL_ADD, fd, &watch) != 0) {
            return -errno;
        }
    }
    sim::Attachment& attachment = sim::Attached();
    const std::lock_guard lock(attachment.mutex);
    attachment.monitors.push_back(&monitor->queue);
    monitor->receiving = true;
    sim::ArmTimers(attachment);
    return 0;
}

int udev_monitor_get_fd(udev_monitor* monitor) { return monitor != nullptr ? monitor->epoll : -1; }

udev_device* udev_monitor_receive_device(udev_monitor* monitor)
{
    if (monitor == nullptr || !monitor->receiving) {
        errno = EINVAL;
        return nullptr;
    }
    sim::Attachment& attachment = sim::Attached();
    const std::lock_guard lock(attachment.mutex);
    Drain(monitor->queue.timerFd);
    sim::CatchUp(attachment, sim::Clock::now());
    std::deque<sim::NodeEvent>& events = monitor->queue.events;
    if (events.empty()) {
        Drain(monitor->queue.eventFd);
        errno = EAGAIN;
        return nullptr;
    }
    const sim::NodeEvent event = events.front();
    events.pop_front();
    if (events.empty()) {
        Drain(monitor->queue.eventFd);
    }
    // A removed node's device tree is gone with it.
    return NodeDevice(event.module, event.action, event.action != "remove");
}

udev_monitor* udev_monitor_unref(udev_monitor* monitor)
{
    if (monitor == nullptr || --monitor->refs > 0) {
        return nullptr;
    }
    if (monitor->receiving) {
        sim::Attachment& attachment = sim::Attached();
        const std::lock_guard lock(attachment.mutex);
        std::erase(attachment.monitors, &monitor->queue);
    }
    for (const int fd : {monitor->epoll, monitor->queue.eventFd, monitor->queue.timerFd}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    delete monitor;
    return nullptr;
}

}  // extern "C"
