#include "sim/sim_controller.h"

#include "link/commands.h"
#include "sim/attachment.h"

#include "sim/host.h"

#include <hidapi.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace sim {

// The simulator's clock: the real one, plus the waits it skipped (a read that
// times out without real time-outs returns at once, as if its time had passed).
using Clock = std::chrono::steady_clock;

// A reply on its way, readable from readyAt on the simulator's clock.
struct QueuedReply {
    Reply reply;
    Clock::time_point readyAt;
};

}  // namespace sim

// The opaque hidapi handle, as the simulated controller keeps it.
struct hid_device_ {
    int id = 0;
    bool open = true;
    sim::Module module;
    int plug = 0;  // the plugging of the module it was opened on
    // The controller's end of this link: the packet being joined.
    sim::ModuleEnd end;
    // Replies on their way, oldest first; each leaves only after the one before.
    std::deque<sim::QueuedReply> replies;
    // Zero-cost mode: a write made the fixed reply due.
    bool replyOwed = false;
    // What hid_get_device_info hands out; its strings point into module.
    hid_device_info info{};
};

namespace sim {

namespace {

// Records stop growing here, so a controller polled for seconds on end
// cannot eat the machine's memory.
constexpr std::size_t kMaxRecords = std::size_t{1} << 20;

template <class T>
void Keep(std::vector<T>& records, T record)
{
    if (records.size() < kMaxRecords) {
        records.push_back(std::move(record));
    }
}

struct State {
    ControllerModel controller;
    int writesUntilFailure = 0;
    int readsUntilFailure = 0;
    std::FILE* trace = nullptr;
    ReadScript readScript;
    WriteScript writeScript;
    bool zeroCost = false;
    std::chrono::milliseconds readDelay{0};
    bool realTimeouts = false;
    Clock::duration skipped{0};  // waits passed without sleeping
    bool initialised = false;
    std::wstring lastError = L"Success";

    std::vector<Packet> packets;
    std::vector<Report> reports;
    std::vector<Call> calls;
    std::vector<std::string> violations;
};

State& S()
{
    static State state;
    return state;
}

// Handles live as long as the process, so that a use after close can be
// noticed and recorded instead of touching freed memory.
std::deque<std::unique_ptr<hid_device_>>& Handles()
{
    static std::deque<std::unique_ptr<hid_device_>> handles;
    return handles;
}

// Handle ids count on across Reset and ReleaseClosedHandles.
int nextHandleId = 1;

// The read gate: reads wait while it is held. Guarded by its own mutex, as
// the one part of the simulator that another thread touches.
struct ReadGate {
    std::mutex mutex;
    std::condition_variable opened;
    bool held = false;
    int waiting = 0;
};

ReadGate& Gate()
{
    static ReadGate gate;
    return gate;
}

void PassGate()
{
    ReadGate& gate = Gate();
    std::unique_lock lock(gate.mutex);
    ++gate.waiting;
    gate.opened.wait(lock, [&gate] { return !gate.held; });
    --gate.waiting;
}

int Record(const char* function, const hid_device* device, int result)
{
    Keep(S().calls, Call{function, device != nullptr ? device->id : 0, result});
    return result;
}

// Checks that a handle may be used; records the violation when not.
bool Usable(const char* function, hid_device* device)
{
    if (device == nullptr) {
        S().violations.push_back(std::string(function) + " with a null handle");
        return false;
    }
    if (!device->open) {
        S().violations.push_back(std::string(function) + " on handle " + std::to_string(device->id) +
                                 " after it was closed");
        return false;
    }
    return true;
}

Clock::time_point Now() { return Clock::now() + S().skipped; }

// Lets `wait` pass on the simulator's clock: up to `real` of it slept, the
// rest skipped.
void Pass(Clock::duration wait, Clock::duration real)
{
    const Clock::duration slept = std::min(wait, real);
    if (slept.count() > 0) {
        std::this_thread::sleep_for(slept);
    }
    S().skipped += wait - slept;
}

bool Countdown(int& counter)
{
    if (counter > 0 && --counter == 0) {
        return true;
    }
    return false;
}

// Takes one output report into the controller; queues its answer.
void Take(hid_device* device, const Report& report)
{
    Taken taken = S().controller.Take(device->end, report);
    // The kernel's HID core drops an input report shorter than the one the
    // report descriptor declares ("Event data for report 0 was too short"):
    // the program never sees it, and its read times out.
    if (taken.reply && taken.reply->size == kInputReportSize) {
        device->replies.push_back({*taken.reply, Now() + S().readDelay + taken.late});
    }
    if (taken.packet) {
        if (S().trace != nullptr) {
            std::fprintf(S().trace, "sim: %s\n", Summary(*taken.packet, taken.answer).c_str());
            std::fflush(S().trace);
        }
        Keep(S().packets, std::move(*taken.packet));
    }
    if (device->end.gone) {
        Unplug(device->module.path);
    }
}

// The interfaces attached now, once the unplugs and replugs due are done.
std::vector<Plugged> AttachedNow()
{
    Attachment& attachment = Attached();
    const std::lock_guard lock(attachment.mutex);
    CatchUp(attachment, Clock::now());
    return attachment.attached;
}

// Whether the module a handle was opened on is still plugged in, that time.
bool StillPlugged(const hid_device* device)
{
    Attachment& attachment = Attached();
    const std::lock_guard lock(attachment.mutex);
    CatchUp(attachment, Clock::now());
    return std::any_of(attachment.attached.begin(), attachment.attached.end(), [device](const Plugged& plugged) {
        return plugged.plug == device->plug && plugged.module.path == device->module.path;
    });
}

std::optional<Plugged> FindModule(unsigned short vendorId, unsigned short productId, const wchar_t* serial)
{
    for (const Plugged& plugged : AttachedNow()) {
        const Module& module = plugged.module;
        if (module.vendorId == vendorId && module.productId == productId &&
            (serial == nullptr || module.serial == serial)) {
            return plugged;
        }
    }
    return std::nullopt;
}

// The USB device an interface belongs to: the one above it, or without one
// the controller and port its HID_PHYS names ("usb-0000:00:14.0-2").
std::string UsbDeviceOf(const Module& module)
{
    if (!module.usbDevice.empty()) {
        return "usb " + module.usbDevice;
    }
    if (!module.phys.empty()) {
        return "phys " + module.phys.substr(0, module.phys.find('/'));
    }
    return "node " + module.path;
}

// With the mutex held: the interface goes, and is back at `back` if ever.
void GoAway(Attachment& attachment, const Module& module, Clock::time_point went)
{
    std::optional<Clock::time_point> back;
    if (attachment.replugDelay.count() > 0) {
        back = went + attachment.replugDelay;
    }
    attachment.away.push_back({module, back});
    for (MonitorQueue* monitor : attachment.monitors) {
        monitor->events.push_back({"remove", module});
    }
}

hid_device* Open(const std::optional<Plugged>& plugged)
{
    const Module* module = plugged ? &plugged->module : nullptr;
    State& s = S();
    s.initialised = true;  // hid_open initialises the library when needed
    if (module == nullptr) {
        s.lastError = L"No HID devices with requested VID/PID found in the system.";
        errno = ENOENT;
        return nullptr;
    }
    if (module->access != Access::Ok) {
        s.lastError = OpenRefusal(module->path, module->access == Access::Busy);
        return nullptr;
    }
    auto device = std::make_unique<hid_device_>();
    device->id = nextHandleId++;
    device->module = *module;
    device->plug = plugged->plug;
    device->end.name = module->name.empty() ? std::string(module->serial.begin(), module->serial.end()) : module->name;
    device->end.handle = device->id;
    device->end.serial = module->serial;
    device->info.path = device->module.path.data();
    device->info.vendor_id = module->vendorId;
    device->info.product_id = module->productId;
    // The HID library finds no manufacturer and no interface number without
    // a USB device above the node.
    if (module->usbDevice.empty()) {
        device->module.manufacturer.clear();
    }
    device->info.serial_number = device->module.serial.data();
    device->info.manufacturer_string = device->module.manufacturer.data();
    device->info.product_string = device->module.product.data();
    device->info.interface_number = module->usbDevice.empty() ? -1 : module->interface;
    device->info.bus_type = HID_API_BUS_USB;
    Handles().push_back(std::move(device));
    s.lastError = L"Success";
    return Handles().back().get();
}

int CopyString(const std::wstring& text, wchar_t* out, std::size_t max)
{
    if (out == nullptr || max == 0) {
        return -1;
    }
    std::wcsncpy(out, text.c_str(), max);
    out[max - 1] = L'\0';
    return 0;
}

}  // namespace

Attachment& Attached()
{
    static Attachment attachment;
    return attachment;
}

void CatchUp(Attachment& attachment, Clock::time_point now)
{
    bool changed = false;
    if (attachment.unplugAll && now >= *attachment.unplugAll) {
        const Clock::time_point went = *attachment.unplugAll;
        attachment.unplugAll.reset();
        for (const Plugged& plugged : attachment.attached) {
            GoAway(attachment, plugged.module, went);
        }
        attachment.attached.clear();
        changed = true;
    }
    for (auto away = attachment.away.begin(); away != attachment.away.end();) {
        if (!away->back || now < *away->back) {
            ++away;
            continue;
        }
        attachment.attached.push_back({away->module, attachment.nextPlug++});
        for (MonitorQueue* monitor : attachment.monitors) {
            monitor->events.push_back({"add", away->module});
        }
        away = attachment.away.erase(away);
        changed = true;
    }
    if (changed) {
        ArmTimers(attachment);
    }
}

void Reset()
{
    for (auto& handle : Handles()) {
        handle->open = false;
    }
    S() = State{};
    ReleaseReads();
    {
        Attachment& attachment = Attached();
        const std::lock_guard lock(attachment.mutex);
        attachment.unplugAll.reset();
        attachment.replugDelay = {};
        for (MonitorQueue* monitor : attachment.monitors) {
            monitor->events.clear();
        }
    }
    SetModuleCount(1);
}

std::vector<Module> LayoutModules(int modules, int interfaces, const std::string& sharedSerial, bool uhid)
{
    std::vector<Module> layout;
    for (const InterfaceLayout& place : Layout(modules, interfaces, sharedSerial)) {
        Module module;
        module.serial = std::wstring(place.serial.begin(), place.serial.end());
        module.path = NodeDirectory() + "/hidraw" + std::to_string(layout.size());
        module.name = place.name;
        module.phys = place.phys;
        module.usbDevice = uhid ? "" : place.usbDevice;
        module.interface = place.interface;
        layout.push_back(module);
    }
    return layout;
}

Module DefaultModule(int index) { return LayoutModules(index + 1, 1, "", false).back(); }

void SetModules(std::vector<Module> modules)
{
    for (const Module& module : modules) {
        CreateNode(module.path);
    }
    Attachment& attachment = Attached();
    const std::lock_guard lock(attachment.mutex);
    attachment.attached.clear();
    attachment.away.clear();
    attachment.unplugAll.reset();
    for (Module& module : modules) {
        attachment.attached.push_back({std::move(module), attachment.nextPlug++});
    }
    ArmTimers(attachment);
}

void SetModuleCount(int count) { SetModules(LayoutModules(count, 1, "", false)); }

void Unplug(const std::string& path)
{
    Attachment& attachment = Attached();
    const std::lock_guard lock(attachment.mutex);
    const Clock::time_point now = Clock::now();
    CatchUp(attachment, now);
    const auto found = std::find_if(attachment.attached.begin(), attachment.attached.end(),
                                    [&path](const Plugged& plugged) { return plugged.module.path == path; });
    if (found == attachment.attached.end()) {
        return;
    }
    const std::string device = UsbDeviceOf(found->module);
    std::erase_if(attachment.attached, [&](const Plugged& plugged) {
        if (UsbDeviceOf(plugged.module) != device) {
            return false;
        }
        GoAway(attachment, plugged.module, now);
        return true;
    });
    ArmTimers(attachment);
}

void UnplugAfter(std::chrono::milliseconds delay)
{
    Attachment& attachment = Attached();
    const std::lock_guard lock(attachment.mutex);
    attachment.unplugAll.reset();
    if (delay.count() > 0) {
        attachment.unplugAll = Clock::now() + delay;
    }
    ArmTimers(attachment);
}

void ReplugAfter(std::chrono::milliseconds delay)
{
    Attachment& attachment = Attached();
    const std::lock_guard lock(attachment.mutex);
    attachment.replugDelay = delay;
}

void SetAckMode(AckMode mode) { S().controller.behaviour.ackMode = mode; }
void SetEcho(bool on) { S().controller.behaviour.echoSequence = on; }
void LateReply(int packet, std::chrono::milliseconds late)
{
    S().controller.behaviour.replyFaults.push_back({packet, late, std::nullopt});
}
void ReplySequence(int packet, std::uint8_t sequence)
{
    S().controller.behaviour.replyFaults.push_back({packet, std::chrono::milliseconds(0), sequence});
}
void RefuseCommand(std::uint16_t commandWord) { S().controller.behaviour.refused.push_back(commandWord); }
void SetStatusReply(StatusReply reply) { S().controller.behaviour.statusReply = reply; }
void SetStatusSeries(std::vector<std::uint8_t> series) { S().controller.SetStatusSeries(std::move(series)); }
void VanishAfter(int reports) { S().controller.behaviour.vanishAfter = reports; }
void SetTranscript(int fd) { S().controller.SetTranscript(fd); }

void FailWriteAt(int nth) { S().writesUntilFailure = nth; }
void FailReadAt(int nth) { S().readsUntilFailure = nth; }
void SetTrace(std::FILE* out) { S().trace = out; }
void SetReadScript(ReadScript script) { S().readScript = std::move(script); }
void SetWriteScript(WriteScript script) { S().writeScript = std::move(script); }
void SetZeroCost(bool on) { S().zeroCost = on; }
void SetReadDelay(std::chrono::milliseconds delay) { S().readDelay = delay; }
void SetRealTimeouts(bool on) { S().realTimeouts = on; }

void HoldReads()
{
    const std::lock_guard lock(Gate().mutex);
    Gate().held = true;
}

void ReleaseReads()
{
    {
        const std::lock_guard lock(Gate().mutex);
        Gate().held = false;
    }
    Gate().opened.notify_all();
}

int HeldReads()
{
    const std::lock_guard lock(Gate().mutex);
    return Gate().waiting;
}

void ReleaseClosedHandles()
{
    std::erase_if(Handles(), [](const std::unique_ptr<hid_device_>& handle) { return !handle->open; });
}

const std::vector<Packet>& Packets() { return S().packets; }
const std::vector<Report>& WrittenReports() { return S().reports; }
const std::vector<Call>& Calls() { return S().calls; }
const std::vector<std::string>& Violations() { return S().violations; }

int CallCount(std::string_view function)
{
    int count = 0;
    for (const Call& call : S().calls) {
        count += call.function == function ? 1 : 0;
    }
    return count;
}

int OpenHandleCount()
{
    int count = 0;
    for (const auto& handle : Handles()) {
        count += handle->open ? 1 : 0;
    }
    return count;
}

void ClearRecords()
{
    S().packets.clear();
    S().reports.clear();
    S().calls.clear();
    S().violations.clear();
}

}  // namespace sim

using sim::S;

extern "C" {

int hid_init(void)
{
    S().initialised = true;
    return sim::Record("hid_init", nullptr, 0);
}

int hid_exit(void)
{
    S().initialised = false;
    return sim::Record("hid_exit", nullptr, 0);
}

hid_device* hid_open(unsigned short vendor_id, unsigned short product_id, const wchar_t* serial_number)
{
    hid_device* device = sim::Open(sim::FindModule(vendor_id, product_id, serial_number));
    sim::Record("hid_open", device, device != nullptr ? 0 : -1);
    return device;
}

hid_device* hid_open_path(const char* path)
{
    std::optional<sim::Plugged> found;
    for (const sim::Plugged& plugged : sim::AttachedNow()) {
        if (path != nullptr && plugged.module.path == path) {
            found = plugged;
            break;
        }
    }
    hid_device* device = sim::Open(found);
    sim::Record("hid_open_path", device, device != nullptr ? 0 : -1);
    return device;
}

int hid_write(hid_device* dev, const unsigned char* data, size_t length)
{
    if (S().zeroCost) {
        if (!sim::Usable("hid_write", dev)) {
            return -1;
        }
        dev->replyOwed = true;
        return static_cast<int>(length);
    }
    if (!sim::Usable("hid_write", dev)) {
        return sim::Record("hid_write", dev, -1);
    }
    if (dev->end.gone || !sim::StillPlugged(dev)) {
        S().lastError = L"The module is gone";
        return sim::Record("hid_write", dev, -1);
    }
    if (sim::Countdown(S().writesUntilFailure)) {
        S().lastError = L"Simulated write failure";
        return sim::Record("hid_write", dev, -1);
    }
    int result = static_cast<int>(length);
    if (S().writeScript) {
        const int scripted = S().writeScript(length);
        if (scripted < 0 && scripted != sim::kControllerAnswer) {
            S().lastError = L"Scripted write failure";
            return sim::Record("hid_write", dev, -1);
        }
        if (scripted >= 0) {
            result = scripted;
        }
    }
    sim::Report report{};
    std::memcpy(report.data(), data, std::min(length, report.size()));
    if (length != report.size()) {
        S().violations.push_back("hid_write of " + std::to_string(length) + " bytes");
    }
    if (report[0] != 0) {
        S().violations.push_back("hid_write with report ID " + std::to_string(report[0]));
    }
    sim::Keep(S().reports, report);
    sim::Take(dev, report);
    return sim::Record("hid_write", dev, result);
}

int hid_read_timeout(hid_device* dev, unsigned char* data, size_t length, int milliseconds)
{
    if (S().zeroCost) {
        // flags 0x00, sequence 0, length 2, status 0x00
        static constexpr std::uint8_t kFixedReply[] = {0x00, 0x00, 0x02, 0x00, 0x00};
        if (!sim::Usable("hid_read_timeout", dev)) {
            return -1;
        }
        if (!std::exchange(dev->replyOwed, false)) {
            return 0;
        }
        const std::size_t count = std::min(length, sizeof kFixedReply);
        std::memcpy(data, kFixedReply, count);
        return static_cast<int>(count);
    }
    if (!sim::Usable("hid_read_timeout", dev)) {
        return sim::Record("hid_read_timeout", dev, -1);
    }
    if (milliseconds != 0) {
        sim::PassGate();  // a read that does not wait is never held
    }
    const sim::Clock::duration timeout = std::chrono::milliseconds(std::max(milliseconds, 0));
    if (sim::Countdown(S().readsUntilFailure)) {
        S().lastError = L"Simulated read failure";
        return sim::Record("hid_read_timeout", dev, -1);
    }
    if (S().readScript) {
        const int scripted = S().readScript(data, length);
        if (scripted != sim::kControllerAnswer) {
            const int result = scripted < 0 ? -1 : std::min(scripted, static_cast<int>(length));
            if (result < 0) {
                S().lastError = L"Scripted read failure";
            }
            return sim::Record("hid_read_timeout", dev, result);
        }
    }
    // Without real time-outs, only the read delay is slept; the rest of a
    // wait passes at once.
    const sim::Clock::duration real = S().realTimeouts ? timeout : std::min(timeout, sim::Clock::duration(S().readDelay));
    const sim::Clock::time_point now = sim::Now();
    if (dev->replies.empty() || dev->replies.front().readyAt > now + timeout) {
        if (dev->end.gone || !sim::StillPlugged(dev)) {
            S().lastError = L"The module is gone";
            return sim::Record("hid_read_timeout", dev, -1);
        }
        sim::Pass(timeout, real);
        return sim::Record("hid_read_timeout", dev, 0);
    }
    const sim::Clock::duration wait = std::max(dev->replies.front().readyAt - now, sim::Clock::duration(0));
    sim::Pass(wait, S().realTimeouts ? wait : std::min(wait, sim::Clock::duration(S().readDelay)));
    const sim::Reply reply = dev->replies.front().reply;
    dev->replies.pop_front();
    const std::size_t count = std::min(length, reply.size);
    std::memcpy(data, reply.bytes.data(), count);
    return sim::Record("hid_read_timeout", dev, static_cast<int>(count));
}

int hid_read(hid_device* dev, unsigned char* data, size_t length) { return hid_read_timeout(dev, data, length, -1); }

void hid_close(hid_device* dev)
{
    sim::Record("hid_close", dev, 0);
    if (dev == nullptr) {
        return;
    }
    if (!dev->open) {
        S().violations.push_back("hid_close on handle " + std::to_string(dev->id) + " after it was closed");
        return;
    }
    dev->open = false;
}

struct hid_device_info* hid_enumerate(unsigned short vendor_id, unsigned short product_id)
{
    S().initialised = true;
    hid_device_info* head = nullptr;
    hid_device_info** tail = &head;
    for (const sim::Plugged& plugged : sim::AttachedNow()) {
        const sim::Module& module = plugged.module;
        if ((vendor_id != 0 && module.vendorId != vendor_id) || (product_id != 0 && module.productId != product_id)) {
            continue;
        }
        // Without a USB device above the node, the HID library finds no
        // manufacturer and no interface number.
        const bool usb = !module.usbDevice.empty();
        auto* info = new hid_device_info{};
        info->path = strdup(module.path.c_str());
        info->vendor_id = module.vendorId;
        info->product_id = module.productId;
        info->serial_number = wcsdup(module.serial.c_str());
        info->manufacturer_string = wcsdup(usb ? module.manufacturer.c_str() : L"");
        info->product_string = wcsdup(module.product.c_str());
        info->interface_number = usb ? module.interface : -1;
        info->bus_type = HID_API_BUS_USB;
        *tail = info;
        tail = &info->next;
    }
    sim::Record("hid_enumerate", nullptr, 0);
    return head;
}

void hid_free_enumeration(struct hid_device_info* devs)
{
    while (devs != nullptr) {
        hid_device_info* next = devs->next;
        std::free(devs->path);
        std::free(devs->serial_number);
        std::free(devs->manufacturer_string);
        std::free(devs->product_string);
        delete devs;
        devs = next;
    }
}

struct hid_device_info* hid_get_device_info(hid_device* dev)
{
    if (!sim::Usable("hid_get_device_info", dev)) {
        sim::Record("hid_get_device_info", dev, -1);
        return nullptr;
    }
    sim::Record("hid_get_device_info", dev, 0);
    return &dev->info;
}

const wchar_t* hid_error(hid_device* dev)
{
    (void)dev;
    return S().lastError.c_str();
}

int hid_get_manufacturer_string(hid_device* dev, wchar_t* string, size_t maxlen)
{
    return sim::Usable("hid_get_manufacturer_string", dev) ? sim::CopyString(dev->module.manufacturer, string, maxlen)
                                                            : -1;
}

int hid_get_product_string(hid_device* dev, wchar_t* string, size_t maxlen)
{
    return sim::Usable("hid_get_product_string", dev) ? sim::CopyString(dev->module.product, string, maxlen) : -1;
}

int hid_get_serial_number_string(hid_device* dev, wchar_t* string, size_t maxlen)
{
    return sim::Usable("hid_get_serial_number_string", dev) ? sim::CopyString(dev->module.serial, string, maxlen)
                                                             : -1;
}

}  // extern "C"
