// The simulated controller: implements the hidapi functions the system calls
// and behaves as the projection controller does on the wire (the behaviour
// itself is the controller model, shared with lumora-vmodule). It joins output
// reports into packets by their length field, acknowledges every write that
// wants a reply, answers the look-up-table status read, and records every call
// and every report. Tests link it in place of hidapi; the same code, built as
// a shared library, can be preloaded under the unchanged binaries.
//
// It also stands in for the few libudev functions the system calls to learn
// where a module is plugged in and when modules come and go (sim_udev.cpp):
// it serves each module's place in the device tree (its HID_PHYS, the USB
// device above it) and device events as modules are unplugged and plugged
// back.
//
// Single-threaded, like the link it serves: one thread at a time drives it.
// The exceptions: the read gate below, and the libudev side, which a window
// may call from its own thread while an action runs.
#pragma once

#include "sim/controller_model.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Why an attached module cannot be opened.
enum class Access {
    Ok,
    Denied,  // the user may not open the device node
    Busy,    // another program holds the device
};

// One HID interface of a module: what the HID library enumerates, and its
// place in the device tree. The interfaces of one USB device share its
// usbDevice (or, without one, the port in their phys).
struct Module {
    std::string path;
    std::wstring serial;
    std::wstring manufacturer = L"Simulated";
    std::wstring product{kProductName.begin(), kProductName.end()};
    std::uint16_t vendorId = 0x0451;
    std::uint16_t productId = 0x6401;
    Access access = Access::Ok;
    std::string name;       // at the head of its transcript lines; the serial number when empty
    std::string phys;       // HID_PHYS
    std::string usbDevice;  // the USB device above the node ("1-2"); empty for a virtual device
                            // on uhid, for which the HID library, as the real one, reports no
                            // manufacturer and interface number -1
    int interface = 0;      // its USB interface number
};

// One hidapi call. handle is 0 for calls without one (or with a null handle).
struct Call {
    std::string function;
    int handle = 0;
    int result = 0;
};

// Back to the defaults: one module attached, acknowledgements clear with the
// packet's sequence byte, status 0x00, no faults, no trace, records cleared. Handles opened before are
// treated as closed: using one counts as a violation.
void Reset();

// The simulated modules' device nodes are ordinary files in this directory,
// one per module, so that a program can lock a simulated module exactly as it
// locks a real device node. LUMORA_SIM_DIR names a directory that several
// processes share (created 0700 when missing); otherwise each process gets a
// private temporary directory, removed at exit.
const std::string& NodeDirectory();

// Attached modules, in enumeration order; hid_open takes the first match.
// Modules unplugged before, and any unplug or replug still to come, are
// forgotten.
void SetModules(std::vector<Module> modules);
// count modules with serials "SIM0001", "SIM0002", ...; 0 = nothing attached.
void SetModuleCount(int count);
// The index-th module of the layout: node hidraw<index>, interface 0 of the
// USB device 1-<index + 1>.
Module DefaultModule(int index);
// The interfaces of the layout (controller_model.h), one module each, with
// nodes hidraw0, hidraw1, ... in order. uhid: as lumora-vmodule's, with no
// USB device above them.
std::vector<Module> LayoutModules(int modules, int interfaces, const std::string& sharedSerial, bool uhid);

// Unplugging, as the kernel sees it: every interface of the USB device goes
// at once, later calls on its handles fail (also after it is back), it is no
// longer listed, and device monitors see each of its nodes go. Plugged back,
// it is listed again (last), and monitors see its nodes come.
// Unplugs the module one of whose nodes is path, now.
void Unplug(const std::string& path);
// Unplugs every module this long from now; 0 never.
void UnplugAfter(std::chrono::milliseconds delay);
// A module that goes (Unplug, UnplugAfter, VanishAfter) comes back this long
// after it went; 0 never.
void ReplugAfter(std::chrono::milliseconds delay);

void SetAckMode(AckMode mode);
// Whether replies carry their packet's sequence byte (the default) or 0.
void SetEcho(bool on);
// The reply to the nth complete packet through a handle (counted from 1 per
// handle) becomes readable `late` after the packet arrived, on the
// simulator's clock; replies behind it wait for it.
void LateReply(int packet, std::chrono::milliseconds late);
// The reply to the nth complete packet through a handle carries this
// sequence byte instead of the packet's.
void ReplySequence(int packet, std::uint8_t sequence);
// Refuses (error flag) every write of this command word, whatever the mode.
void RefuseCommand(std::uint16_t commandWord);
void SetStatusReply(StatusReply reply);
// Status bytes for successive status reads; the last one repeats.
void SetStatusSeries(std::vector<std::uint8_t> series);

// A module is unplugged after answering this many reports through one handle
// (as Unplug does, ReplugAfter included). 0 never.
void VanishAfter(int reports);

// Writes one line per report in each direction to fd (see the controller
// model); -1 writes none. The caller owns fd.
void SetTranscript(int fd);

// The nth hid_write (or hid_read_timeout) from now returns -1; 0 disarms.
void FailWriteAt(int nth);
void FailReadAt(int nth);

// Time. Every reply becomes readable the delay after the packet that asked
// for it (and later when a reply fault says so); a read waits for it up to
// its own time-out. A read that finds nothing readable in time waits the
// delay (at most its time-out) and gives 0. With real time-outs every wait
// is slept whole, as behind a slow or silent module; without them only the
// delay is slept and the rest passes at once on the simulator's clock, so
// that a reply due later than one time-out is there for a later read.
void SetReadDelay(std::chrono::milliseconds delay);
void SetRealTimeouts(bool on);

// Holds every hid_read_timeout that may wait (a time-out other than 0) until
// ReleaseReads, for tests that act while a command waits for its
// acknowledgement. These three may be called from any thread; HeldReads
// counts the reads waiting right now.
void HoldReads();
void ReleaseReads();
int HeldReads();

// Prints each decoded packet and the answer to it; nullptr stops.
void SetTrace(std::FILE* out);

// Scripted results in place of the controller's own, for feeding arbitrary
// replies through the system. A script is asked on every call on an open
// handle (after FailWriteAt / FailReadAt) and returns the call's result, or
// kControllerAnswer to let the controller answer as usual.
inline constexpr int kControllerAnswer = -1000;
// Fills up to `length` bytes of data and returns -1, 0 or the count read;
// results above length are cut to length. The controller's own reply, if
// any, stays queued for a later read.
using ReadScript = std::function<int(std::uint8_t* data, std::size_t length)>;
// Returns -1 (the report does not reach the controller) or the count that
// hid_write reports (the report reaches the controller all the same).
using WriteScript = std::function<int(std::size_t length)>;
void SetReadScript(ReadScript script);    // empty: the controller answers
void SetWriteScript(WriteScript script);

// For benchmarks: every write succeeds at once and makes one fixed reply
// (flags 0x00, sequence 0, length 2, status 0x00) due, which the next read
// delivers; it acknowledges a write and ends a status poll. A read with no
// reply due gives 0 at once. Nothing is joined, recorded or traced, and nothing
// is allocated, so a measurement sees the system's own cost. A use of a
// closed handle is still noticed. Reset turns it off.
void SetZeroCost(bool on);

// Frees the handles that are closed. Only for callers that hold no handle any
// more (a fuzzer between two inputs): a freed handle cannot be checked for
// use after close.
void ReleaseClosedHandles();

const std::vector<Packet>& Packets();
const std::vector<Report>& WrittenReports();
const std::vector<Call>& Calls();
int CallCount(std::string_view function);
// Every use of a handle after it was closed (and other misuse), one line each.
const std::vector<std::string>& Violations();
int OpenHandleCount();
// Forgets the recorded calls, reports, packets and violations; keeps settings.
void ClearRecords();

}  // namespace sim
