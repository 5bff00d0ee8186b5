// lumora-vmodule: simulated projection modules on the kernel's uhid device.
//
// Creates 1 to 8 modules, each of one or more HID devices (0451:6401, one
// 64-byte input and one 64-byte output report, no report IDs) that the
// kernel's hidraw driver and the unchanged hidapi see as the HID interfaces
// of attached modules. Each device carries the HID_PHYS that the USB HID
// driver would give it at its port and interface ("usb-0000:00:14.0-2/input1",
// the layout shared with the hidapi stand-in); a uhid device has no USB
// device above it, so that is where its place shows. Each answers as the
// controller does, through the controller model that the hidapi stand-in
// uses too, with the same faults. Modules can be unplugged (all their
// interfaces at once) and plugged back after a delay. Runs until SIGINT,
// SIGTERM or SIGHUP, then removes its devices.
#include "connection/connection.h"  // the module's USB vendor and product
#include "sim/controller_model.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/input.h>
#include <linux/uhid.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxModules = 8;
// After answering its last report a vanishing module stays for this long, so
// that the program can read that answer before the module is unplugged.
constexpr std::chrono::milliseconds kUnplugDelay{200};
constexpr std::chrono::milliseconds kReadyPoll{10};
constexpr std::chrono::seconds kReadyWarning{5};

// One top-level application collection on a vendor page: one input report and
// one output report of 64 bytes each, no report IDs. The vendor page keeps
// the kernel from making an input device of it; hidraw is all there is.
constexpr std::uint8_t kReportDescriptor[] = {
    0x06, 0x00, 0xFF,  // Usage Page (vendor defined 0xFF00)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8 bits)
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x01,        //   Usage (1)
    0x81, 0x02,        //   Input (Data, Variable, Absolute)
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x01,        //   Usage (1)
    0x91, 0x02,        //   Output (Data, Variable, Absolute)
    0xC0,              // End Collection
};

struct Options {
    int modules = 1;
    int interfaces = 1;
    std::string serial;  // shared by every module, when given
    sim::Behaviour behaviour;
    int unplugAfterMs = 0;
    int replugAfterMs = 0;
    std::string transcript;
    bool trace = false;
};

// A reply held back until it is due; replies leave in order.
struct Pending {
    sim::Reply reply;
    Clock::time_point due;
};

// One HID interface of a module, as one device on uhid.
struct Device {
    sim::InterfaceLayout place;
    int fd = -1;
    sim::ModuleEnd end;
    bool started = false;
    std::string node;  // /dev/hidrawN once the kernel made it
    std::optional<Clock::time_point> unplugAt;  // removed then
    std::optional<Clock::time_point> replugAt;  // created again then
    std::deque<Pending> pending;
};

void Usage(std::FILE* out)
{
    std::fprintf(out,
                 "Usage: lumora-vmodule [OPTIONS]\n"
                 "\n"
                 "Attaches simulated projection modules through /dev/uhid (needs root, or\n"
                 "write access to /dev/uhid) until interrupted. Prints each module's serial\n"
                 "number and device node, then \"ready\".\n"
                 "\n"
                 "  --modules N              modules attached, 1 to %d (default 1)\n"
                 "  --interfaces N           HID interfaces each module shows, 1 to %d (default 1)\n"
                 "  --serial S               the serial number of every module (default SIM0001, ...)\n"
                 "  --ack ok|error|silent    acknowledge, refuse (error flag), or never answer\n"
                 "  --status 80,80,00        status bytes of successive look-up-table status\n"
                 "                           reads (hex; the last repeats)\n"
                 "  --status-reply normal|silent|empty|error|short\n"
                 "                           how the status read is answered\n"
                 "  --vanish-after N         each module is unplugged after answering N reports\n"
                 "  --refuse CMD,...         refuse these commands (names such as CmdLedCurrent,\n"
                 "                           or hex command words such as 0x1A24)\n"
                 "  --no-echo                replies carry sequence byte 0, not their packet's\n"
                 "  --late N:MS,...          the reply to packet N leaves MS ms late; replies\n"
                 "                           behind it wait (packets counted from 1 per module)\n"
                 "  --reply-seq N:S,...      the reply to packet N carries sequence byte S\n"
                 "  --unplug-after-ms N      every module is unplugged N ms after \"ready\"\n"
                 "  --replug-after-ms N      an unplugged module is plugged back N ms later\n"
                 "  --transcript FILE        append one line per report in each direction\n"
                 "  --trace                  print each decoded packet and the answer to stderr\n",
                 kMaxModules, sim::kMaxInterfaces);
}

bool Fail(const std::string& message)
{
    std::fprintf(stderr, "lumora-vmodule: %s\n", message.c_str());
    return false;
}

bool ParseCount(const std::string& text, int low, int high, int& value)
{
    char* stop = nullptr;
    const long parsed = std::strtol(text.c_str(), &stop, 10);
    if (text.empty() || *stop != '\0' || parsed < low || parsed > high) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            Usage(stdout);
            std::exit(0);
        }
        if (option == "--trace") {
            options.trace = true;
            continue;
        }
        if (option == "--no-echo") {
            options.behaviour.echoSequence = false;
            continue;
        }
        if (i + 1 == argc) {
            return Fail("'" + option + "' needs a value (see --help)");
        }
        const std::string value = argv[++i];
        const std::string bad = "'" + option + "' does not take '" + value + "' (see --help)";
        if (option == "--modules") {
            if (!ParseCount(value, 1, kMaxModules, options.modules)) {
                return Fail(bad);
            }
        } else if (option == "--interfaces") {
            if (!ParseCount(value, 1, sim::kMaxInterfaces, options.interfaces)) {
                return Fail(bad);
            }
        } else if (option == "--serial") {
            if (value.empty() || value.size() >= sizeof(uhid_create2_req::uniq)) {
                return Fail(bad);
            }
            options.serial = value;
        } else if (option == "--unplug-after-ms") {
            if (!ParseCount(value, 1, 1 << 30, options.unplugAfterMs)) {
                return Fail(bad);
            }
        } else if (option == "--replug-after-ms") {
            if (!ParseCount(value, 1, 1 << 30, options.replugAfterMs)) {
                return Fail(bad);
            }
        } else if (option == "--ack") {
            const auto mode = sim::ParseAckMode(value);
            if (!mode) {
                return Fail(bad);
            }
            options.behaviour.ackMode = *mode;
        } else if (option == "--status") {
            const auto series = sim::ParseStatusSeries(value);
            if (!series) {
                return Fail(bad);
            }
            options.behaviour.statusSeries = *series;
        } else if (option == "--status-reply") {
            const auto reply = sim::ParseStatusReply(value);
            if (!reply) {
                return Fail(bad);
            }
            options.behaviour.statusReply = *reply;
        } else if (option == "--vanish-after") {
            if (!ParseCount(value, 1, 1 << 30, options.behaviour.vanishAfter)) {
                return Fail(bad);
            }
        } else if (option == "--refuse") {
            const auto words = sim::ParseCommandWords(value);
            if (!words) {
                return Fail(bad);
            }
            std::vector<std::uint16_t>& refused = options.behaviour.refused;
            refused.insert(refused.end(), words->begin(), words->end());
        } else if (option == "--late" || option == "--reply-seq") {
            const auto faults = option == "--late" ? sim::ParseLateReplies(value) : sim::ParseReplySequences(value);
            if (!faults) {
                return Fail(bad);
            }
            std::vector<sim::ReplyFault>& all = options.behaviour.replyFaults;
            all.insert(all.end(), faults->begin(), faults->end());
        } else if (option == "--transcript") {
            options.transcript = value;
        } else {
            return Fail("unknown option '" + option + "' (see --help)");
        }
    }
    return true;
}

bool Send(const Device& device, const uhid_event& event)
{
    return ::write(device.fd, &event, sizeof event) == static_cast<ssize_t>(sizeof event);
}

void CopyText(__u8* out, std::size_t size, const std::string& text)
{
    std::snprintf(reinterpret_cast<char*>(out), size, "%s", text.c_str());
}

// Creates the device (again, after an unplug): a fresh end of the link.
bool Create(Device& device, int handle)
{
    device.fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (device.fd < 0) {
        return Fail(std::string("cannot open /dev/uhid: ") + std::strerror(errno) +
                    (errno == ENOENT ? " (load the uhid module: modprobe uhid)" : " (run as root)"));
    }
    device.end = {};
    device.end.name = device.place.name;
    device.end.handle = handle;
    device.end.serial = std::wstring(device.place.serial.begin(), device.place.serial.end());
    device.started = false;
    device.node.clear();

    uhid_event event{};
    event.type = UHID_CREATE2;
    uhid_create2_req& create = event.u.create2;
    CopyText(create.name, sizeof create.name, std::string(sim::kProductName));
    CopyText(create.phys, sizeof create.phys, device.place.phys);
    CopyText(create.uniq, sizeof create.uniq, device.place.serial);
    create.rd_size = sizeof kReportDescriptor;
    create.bus = BUS_USB;
    create.vendor = lumora::kVendorId;
    create.product = lumora::kProductId;
    std::memcpy(create.rd_data, kReportDescriptor, sizeof kReportDescriptor);
    if (!Send(device, event)) {
        return Fail("cannot create a device on /dev/uhid: " + std::string(std::strerror(errno)));
    }
    return true;
}

void Destroy(Device& device)
{
    if (device.fd < 0) {
        return;
    }
    uhid_event event{};
    event.type = UHID_DESTROY;
    Send(device, event);
    ::close(device.fd);
    device.fd = -1;
    device.pending.clear();  // replies to a module unplugged are lost with it
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The hidraw node the kernel made for the device with this HID_PHYS, or ""
// while there is none.
std::string FindNode(const std::string& phys)
{
    char id[64];
    std::snprintf(id, sizeof id, "HID_ID=%04X:%08X:%08X\n", BUS_USB, lumora::kVendorId, lumora::kProductId);
    std::string node;
    if (DIR* dir = ::opendir("/sys/class/hidraw")) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string uevent = ReadFile(std::string("/sys/class/hidraw/") + entry->d_name + "/device/uevent");
            if (uevent.find(id) != std::string::npos && uevent.find("HID_PHYS=" + phys + "\n") != std::string::npos) {
                node = std::string("/dev/") + entry->d_name;
                break;
            }
        }
        ::closedir(dir);
    }
    return node;
}

// Answers the kernel's requests for reports by number, which this device
// does not serve.
void RefuseReportRequest(const Device& device, const uhid_event& request)
{
    uhid_event reply{};
    if (request.type == UHID_GET_REPORT) {
        reply.type = UHID_GET_REPORT_REPLY;
        reply.u.get_report_reply.id = request.u.get_report.id;
        reply.u.get_report_reply.err = EIO;
    } else {
        reply.type = UHID_SET_REPORT_REPLY;
        reply.u.set_report_reply.id = request.u.set_report.id;
        reply.u.set_report_reply.err = EIO;
    }
    Send(device, reply);
}

// Sends the replies that are due, oldest first; one that is not yet due
// holds back those behind it.
void SendDue(Device& device)
{
    while (!device.pending.empty() && device.pending.front().due <= Clock::now()) {
        const sim::Reply& reply = device.pending.front().reply;
        uhid_event input{};
        input.type = UHID_INPUT2;
        input.u.input2.size = static_cast<__u16>(reply.size);
        std::memcpy(input.u.input2.data, reply.bytes.data(), reply.size);
        Send(device, input);
        device.pending.pop_front();
    }
}

void TakeOutput(sim::ControllerModel& controller, Device& device, const uhid_output_req& output, bool trace)
{
    // hidraw hands over the report ID byte with the report: 65 bytes.
    sim::Report report{};
    std::memcpy(report.data(), output.data, std::min<std::size_t>(output.size, report.size()));
    if (output.size != report.size()) {
        std::fprintf(stderr, "lumora-vmodule: %s: an output report of %u bytes\n", device.end.name.c_str(),
                     static_cast<unsigned>(output.size));
    }
    const sim::Taken taken = controller.Take(device.end, report);
    if (taken.reply) {
        device.pending.push_back({*taken.reply, Clock::now() + taken.late});
        SendDue(device);
    }
    if (trace && taken.packet) {
        std::fprintf(stderr, "lumora-vmodule: %s: %s\n", device.end.name.c_str(),
                     sim::Summary(*taken.packet, taken.answer).c_str());
    }
}

void Handle(sim::ControllerModel& controller, Device& device, bool trace)
{
    uhid_event event{};
    const ssize_t n = ::read(device.fd, &event, sizeof event);
    if (n <= 0) {
        return;
    }
    switch (event.type) {
    case UHID_START:
        device.started = true;
        break;
    case UHID_OUTPUT:
        TakeOutput(controller, device, event.u.output, trace);
        break;
    case UHID_GET_REPORT:
    case UHID_SET_REPORT:
        RefuseReportRequest(device, event);
        break;
    default:  // UHID_STOP, UHID_OPEN, UHID_CLOSE: nothing to do
        break;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        return 2;
    }

    sim::ControllerModel controller;
    controller.behaviour = options.behaviour;
    int transcript = -1;
    if (!options.transcript.empty()) {
        transcript = ::open(options.transcript.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (transcript < 0) {
            Fail("cannot write " + options.transcript + ": " + std::strerror(errno));
            return 1;
        }
        controller.SetTranscript(transcript);
    }

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    const int signalFd = ::signalfd(-1, &signals, SFD_CLOEXEC);

    // Devices are created one after the other, each once the kernel has made
    // the node of the one before, so that their nodes are numbered in order.
    std::vector<Device> devices;
    for (const sim::InterfaceLayout& place : sim::Layout(options.modules, options.interfaces, options.serial)) {
        devices.push_back({});
        devices.back().place = place;
    }
    const auto handleOf = [&devices](const Device& device) { return static_cast<int>(&device - devices.data()) + 1; };
    std::size_t created = 0;
    bool ok = Create(devices[created], handleOf(devices[created]));
    ++created;
    bool stop = !ok;
    bool ready = false;
    bool warned = false;
    const Clock::time_point began = Clock::now();
    while (!stop) {
        Device& newest = devices[created - 1];
        if (!ready && newest.started && newest.node.empty()) {
            newest.node = FindNode(newest.place.phys);
        }
        if (!ready && !newest.node.empty()) {
            if (created < devices.size()) {
                ok = Create(devices[created], handleOf(devices[created]));
                stop = !ok;
                ++created;
                continue;
            }
            ready = true;
            for (const Device& device : devices) {
                std::printf("%s %s\n", device.end.name.c_str(), device.node.c_str());
            }
            std::printf("ready\n");
            std::fflush(stdout);
            if (options.unplugAfterMs > 0) {
                for (Device& device : devices) {
                    device.unplugAt = Clock::now() + std::chrono::milliseconds(options.unplugAfterMs);
                }
            }
        }
        if (!ready && !warned && Clock::now() - began > kReadyWarning) {
            warned = true;
            Fail("the kernel has made no hidraw node yet (are hid-generic and hidraw there?)");
        }

        std::vector<pollfd> fds{{signalFd, POLLIN, 0}};
        for (const Device& device : devices) {
            fds.push_back({device.fd, POLLIN, 0});  // poll passes over a removed device's -1
        }
        int timeout = ready ? -1 : static_cast<int>(kReadyPoll.count());
        const auto until = [&timeout](Clock::time_point when) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now());
            const int ms = static_cast<int>(std::max<long long>(0, left.count()));
            timeout = timeout < 0 ? ms : std::min(timeout, ms);
        };
        for (const Device& device : devices) {
            for (const auto& due : {device.unplugAt, device.replugAt}) {
                if (due) {
                    until(*due);
                }
            }
            if (!device.pending.empty()) {
                until(device.pending.front().due);
            }
        }
        if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) {
            ok = Fail(std::string("poll: ") + std::strerror(errno));
            break;
        }
        stop = (fds[0].revents & POLLIN) != 0;
        for (std::size_t i = 0; i < devices.size(); ++i) {
            Device& device = devices[i];
            if (device.fd >= 0 && (fds[i + 1].revents & POLLIN) != 0) {
                Handle(controller, device, options.trace);
            }
            if (device.fd >= 0) {
                SendDue(device);
            }
            // A module that vanished goes with all its interfaces.
            if (device.end.gone && !device.unplugAt) {
                const Clock::time_point at = Clock::now() + kUnplugDelay;
                for (Device& sibling : devices) {
                    if (sibling.place.module == device.place.module && sibling.fd >= 0 && !sibling.unplugAt) {
                        sibling.unplugAt = at;
                    }
                }
            }
        }
        for (Device& device : devices) {
            if (device.unplugAt && Clock::now() >= *device.unplugAt) {
                device.unplugAt.reset();
                Destroy(device);
                device.end.gone = false;  // its end went with it
                if (options.replugAfterMs > 0) {
                    device.replugAt = Clock::now() + std::chrono::milliseconds(options.replugAfterMs);
                }
            }
            if (device.replugAt && Clock::now() >= *device.replugAt) {
                device.replugAt.reset();
                ok = Create(device, handleOf(device));
                stop = stop || !ok;
            }
        }
    }

    for (Device& device : devices) {
        Destroy(device);
    }
    if (transcript >= 0) {
        ::close(transcript);
    }
    return ok ? 0 : 1;
}
