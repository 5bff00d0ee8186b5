// The projection controller's behaviour on the wire, in one place for both
// simulated modules: the hidapi stand-in (sim_controller) and the module on
// the kernel's uhid device (lumora-vmodule). It joins 65-byte output reports
// into packets by their length field, answers each packet (acknowledgement,
// refusal or silence; the look-up-table status read and its reply shapes;
// replies that come late or carry a sequence byte other than their packet's),
// lets a module vanish after a number of reports, and writes one transcript
// line per report in each direction.
//
// Single-threaded; plain C++, no hidapi.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// An output report as the controller receives it: the report ID byte (0),
// then 64 bytes.
using Report = std::array<std::uint8_t, 65>;

// The controller's input report: 64 bytes, no report ID byte.
inline constexpr std::size_t kInputReportSize = 64;

// How the controller answers a write packet.
enum class AckMode {
    Ok,         // flags 0x00
    ErrorFlag,  // flags 0x20: the controller refuses the command
    Silent,     // no acknowledgement
};

// How the controller answers the look-up-table status read request.
enum class StatusReply {
    Normal,     // length 2, byte 4 the next status of the series
    Silent,     // no reply
    Empty,      // a reply whose length field is 0
    ErrorFlag,  // a reply with the error flag set
    Short,      // a 4-byte reply: a header that promises data, no status byte
                // (the kernel drops it: the program's read times out)
};

// How a simulated module presents itself: "Projection Controller", serial
// numbers "SIM0001", "SIM0002", ... counted from index 0.
inline constexpr std::string_view kProductName = "Projection Controller";
std::string ModuleSerial(int index);

// Where the simulated modules sit, the same for both: module n (from 0) is
// plugged into port n + 1 of the host controller below, the root hub of USB
// bus 1, and shows one HID interface or more, numbered from 0.
inline constexpr std::string_view kHostController = "0000:00:14.0";
inline constexpr int kMaxInterfaces = 4;

struct InterfaceLayout {
    int module = 0;         // from 0
    int interface = 0;      // its USB interface number, from 0
    std::string name;       // at the head of its transcript lines: "SIM0002", or "SIM0002/1" for interface 1
    std::string serial;     // "SIM0002", or the serial number all modules share
    std::string phys;       // HID_PHYS as the USB HID driver writes it: "usb-0000:00:14.0-2/input1"
    std::string usbDevice;  // the USB device's name in sysfs: "1-2"
};

// The interfaces of `modules` modules with `interfaces` each, module by
// module; every module carries sharedSerial when it is not empty.
std::vector<InterfaceLayout> Layout(int modules, int interfaces, const std::string& sharedSerial = "");

// One packet as the controller joined it from its reports.
struct Packet {
    int handle = 0;  // which open it came through, counted from 1
    std::wstring serial;  // of the module it went to
    std::uint8_t flags = 0;
    std::uint8_t sequence = 0;
    std::uint16_t length = 0;
    std::uint16_t commandWord = 0;
    std::vector<std::uint8_t> payload;
    int reports = 0;
};

// One input report the controller sends: the first `size` bytes count.
struct Reply {
    std::array<std::uint8_t, kInputReportSize> bytes{};
    std::size_t size = kInputReportSize;
};

// Something odd about the reply to one packet, the packet counted from 1 over
// its module end (an open handle of the hidapi stand-in; the life of a uhid
// module). Replies leave in order: those behind a late one wait for it.
struct ReplyFault {
    int packet = 0;
    std::chrono::milliseconds late{0};     // readable this long after the packet arrived
    std::optional<std::uint8_t> sequence;  // carries this sequence byte instead of the packet's
};

// The settings that make a controller behave as a faulty one would; the same
// for every module it serves.
struct Behaviour {
    AckMode ackMode = AckMode::Ok;
    std::vector<std::uint16_t> refused;  // command words refused whatever the mode
    StatusReply statusReply = StatusReply::Normal;
    std::vector<std::uint8_t> statusSeries{0x00};  // successive status bytes; the last repeats
    int vanishAfter = 0;  // a module is unplugged after answering this many reports; 0 never
    bool echoSequence = true;  // replies carry their packet's sequence byte; false: always 0
    std::vector<ReplyFault> replyFaults;
};

// One module's end of one link: the packet being joined and what has been
// taken so far. The hidapi stand-in keeps one per open handle, the uhid
// module one per device.
struct ModuleEnd {
    std::string name;      // the module's serial number, at the head of its transcript lines
    int handle = 0;        // copied into the packets
    std::wstring serial;   // copied into the packets
    bool joining = false;
    Packet partial;
    int reportsTaken = 0;
    int packetsTaken = 0;  // complete packets, for the reply faults
    bool gone = false;     // vanished: takes no more reports
};

// What one output report brought about.
struct Taken {
    std::optional<Packet> packet;  // the packet it completed, if any
    std::optional<Reply> reply;    // the controller's answer to send back
    std::chrono::milliseconds late{0};  // how long after now the reply may leave
    std::string answer;            // the answer in words, for a trace
};

class ControllerModel {
public:
    Behaviour behaviour;

    // Status bytes for successive status reads, starting again from the first.
    void SetStatusSeries(std::vector<std::uint8_t> series);

    // Takes one output report arriving at `end`; nothing when the module is
    // gone. The report and the reply go to the transcript.
    Taken Take(ModuleEnd& end, const Report& report);

    // Writes transcript lines to fd (opened for appending, so that several
    // processes can share one file); -1 writes none. The caller owns fd.
    void SetTranscript(int fd) { transcript_ = fd; }

private:
    Taken Complete(ModuleEnd& end);
    void Disturb(int nth, Reply& reply, Taken& taken) const;
    std::optional<Reply> Answer(const Packet& packet, std::string& answer);
    void Write(const ModuleEnd& end, const char* direction, const std::uint8_t* bytes, std::size_t count) const;

    std::size_t statusIndex_ = 0;
    int transcript_ = -1;
};

// "CmdLedEnable [08]", "read CmdValidate []", "0x1234 [..]".
std::string Describe(const Packet& packet);
// "seq   3  CmdLedEnable [08]   1 report  -> ack": one packet and its answer.
std::string Summary(const Packet& packet, const std::string& answer);
std::string Hex(const std::uint8_t* bytes, std::size_t count);

// The words of the settings, as the environment and the command line give
// them; nullopt when a word is not one of them.
std::optional<AckMode> ParseAckMode(const std::string& word);
std::optional<StatusReply> ParseStatusReply(const std::string& word);
// "80,80,00": hex status bytes; nullopt when one is not a hex byte.
std::optional<std::vector<std::uint8_t>> ParseStatusSeries(const std::string& text);
// "3:2500,7:10": the replies to packets 3 and 7 come 2500 and 10 ms late.
std::optional<std::vector<ReplyFault>> ParseLateReplies(const std::string& text);
// "3:5": the reply to packet 3 carries the sequence byte 5 (decimal).
std::optional<std::vector<ReplyFault>> ParseReplySequences(const std::string& text);
// "CmdLedCurrent,0x1A24": command words by name or in hex.
std::optional<std::vector<std::uint16_t>> ParseCommandWords(const std::string& text);

}  // namespace sim
