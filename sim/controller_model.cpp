#include "sim/controller_model.h"

#include "link/commands.h"
#include "link/link.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>

namespace sim {

namespace {

using lumora::kFlagError;
using lumora::kFlagReadRequest;
using lumora::kFlagReplyWanted;

constexpr std::uint16_t kValidateWord = 0x1A1A;
constexpr std::size_t kShortReplyBytes = 4;  // a header and no data
constexpr std::uint16_t kStatusReplyLength = 2;

// Input report layout: @0 flags  @1 sequence  @2-3 length (LE)  @4 data.
Reply MakeReply(std::uint8_t flags, std::uint8_t sequence, std::uint16_t length,
                std::optional<std::uint8_t> data = std::nullopt, std::size_t size = kInputReportSize)
{
    Reply reply;
    reply.bytes[lumora::kReplyFlagsAt] = flags;
    reply.bytes[lumora::kReplySequenceAt] = sequence;
    reply.bytes[lumora::kReplyLengthAt] = static_cast<std::uint8_t>(length & 0xFF);
    reply.bytes[lumora::kReplyLengthAt + 1] = static_cast<std::uint8_t>(length >> 8);
    if (data) {
        reply.bytes[lumora::kReplyDataAt] = *data;
    }
    reply.size = size;
    return reply;
}

}  // namespace

std::string ModuleSerial(int index)
{
    char serial[16];
    std::snprintf(serial, sizeof serial, "SIM%04d", index + 1);
    return serial;
}

std::vector<InterfaceLayout> Layout(int modules, int interfaces, const std::string& sharedSerial)
{
    std::vector<InterfaceLayout> layout;
    for (int module = 0; module < modules; ++module) {
        const std::string port = std::to_string(module + 1);
        for (int interface = 0; interface < interfaces; ++interface) {
            InterfaceLayout entry;
            entry.module = module;
            entry.interface = interface;
            entry.name = ModuleSerial(module) + (interface == 0 ? "" : "/" + std::to_string(interface));
            entry.serial = sharedSerial.empty() ? ModuleSerial(module) : sharedSerial;
            entry.phys = "usb-" + std::string(kHostController) + "-" + port + "/input" + std::to_string(interface);
            entry.usbDevice = "1-" + port;
            layout.push_back(entry);
        }
    }
    return layout;
}

void ControllerModel::SetStatusSeries(std::vector<std::uint8_t> series)
{
    behaviour.statusSeries = std::move(series);
    statusIndex_ = 0;
}

Taken ControllerModel::Take(ModuleEnd& end, const Report& report)
{
    if (end.gone) {
        return {};
    }
    Write(end, "out", report.data(), report.size());
    ++end.reportsTaken;

    // Output report layout: @0 report ID  @1 flags  @2 sequence  @3-4 length
    // (LE)  @5 body; a continuation report carries body bytes from @1.
    Packet& packet = end.partial;
    std::size_t from = lumora::kContinuationBodyAt;
    if (!end.joining) {
        packet = Packet{};
        packet.handle = end.handle;
        packet.serial = end.serial;
        packet.flags = report[lumora::kFlagsAt];
        packet.sequence = report[lumora::kSequenceAt];
        packet.length = static_cast<std::uint16_t>(report[lumora::kLengthAt] | report[lumora::kLengthAt + 1] << 8);
        end.joining = true;
        from = lumora::kFirstBodyAt;
    }
    ++packet.reports;
    // The body is collected in payload, command word first; split on completion.
    for (std::size_t i = from; i < report.size() && packet.payload.size() < packet.length; ++i) {
        packet.payload.push_back(report[i]);
    }
    Taken taken;
    if (packet.payload.size() >= packet.length) {
        taken = Complete(end);
    }
    if (behaviour.vanishAfter > 0 && end.reportsTaken >= behaviour.vanishAfter) {
        end.gone = true;
        Write(end, "gone", nullptr, 0);
    }
    return taken;
}

Taken ControllerModel::Complete(ModuleEnd& end)
{
    Packet packet = std::move(end.partial);
    end.partial = Packet{};
    end.joining = false;
    if (packet.payload.size() >= 2) {
        packet.commandWord = static_cast<std::uint16_t>(packet.payload[0] | packet.payload[1] << 8);
        packet.payload.erase(packet.payload.begin(), packet.payload.begin() + 2);
    }
    Taken taken;
    taken.reply = Answer(packet, taken.answer);
    ++end.packetsTaken;
    if (taken.reply) {
        Disturb(end.packetsTaken, *taken.reply, taken);
        Write(end, "in", taken.reply->bytes.data(), taken.reply->size);
    }
    taken.packet = std::move(packet);
    return taken;
}

// What the settings do to the reply to the nth packet: the sequence byte it
// carries, how late it leaves; both said after the answer.
void ControllerModel::Disturb(int nth, Reply& reply, Taken& taken) const
{
    if (!behaviour.echoSequence) {
        reply.bytes[lumora::kReplySequenceAt] = 0;
    }
    for (const ReplyFault& fault : behaviour.replyFaults) {
        if (fault.packet != nth) {
            continue;
        }
        if (fault.sequence) {
            reply.bytes[lumora::kReplySequenceAt] = *fault.sequence;
            taken.answer += ", seq " + std::to_string(*fault.sequence);
        }
        if (fault.late.count() > 0) {
            taken.late = fault.late;
            taken.answer += ", " + std::to_string(fault.late.count()) + " ms late";
        }
    }
}

// The controller's answer to a complete packet, and that answer in words.
std::optional<Reply> ControllerModel::Answer(const Packet& packet, std::string& answer)
{
    if ((packet.flags & kFlagReplyWanted) == 0) {
        answer = "no reply wanted";
        return std::nullopt;
    }
    if ((packet.flags & kFlagReadRequest) != 0) {
        if (packet.commandWord != kValidateWord) {
            answer = "unknown read, refused";
            return MakeReply(kFlagError, packet.sequence, 0);
        }
        const std::vector<std::uint8_t>& series = behaviour.statusSeries;
        const std::uint8_t status = series.empty() ? 0 : series[std::min(statusIndex_, series.size() - 1)];
        ++statusIndex_;
        switch (behaviour.statusReply) {
        case StatusReply::Normal: {
            char text[32];
            std::snprintf(text, sizeof text, "status 0x%02X", status);
            answer = text;
            return MakeReply(0, packet.sequence, kStatusReplyLength, status);
        }
        case StatusReply::Silent:
            answer = "no reply";
            return std::nullopt;
        case StatusReply::Empty:
            answer = "empty reply";
            return MakeReply(0, packet.sequence, 0);
        case StatusReply::ErrorFlag:
            answer = "refused (error flag)";
            return MakeReply(kFlagError, packet.sequence, kStatusReplyLength);
        case StatusReply::Short:
            answer = "short reply";
            return MakeReply(0, packet.sequence, kStatusReplyLength, status, kShortReplyBytes);
        }
    }
    const std::vector<std::uint16_t>& refused = behaviour.refused;
    if (std::find(refused.begin(), refused.end(), packet.commandWord) != refused.end()) {
        answer = "refused (error flag)";
        return MakeReply(kFlagError, packet.sequence, 0);
    }
    switch (behaviour.ackMode) {
    case AckMode::Ok:
        answer = "ack";
        return MakeReply(0, packet.sequence, 0);
    case AckMode::ErrorFlag:
        answer = "refused (error flag)";
        return MakeReply(kFlagError, packet.sequence, 0);
    case AckMode::Silent:
        answer = "no ack";
        return std::nullopt;
    }
    return std::nullopt;
}

// One transcript line: "SIM0001 out 00 40 ...", "SIM0001 in 00 00 ...",
// "SIM0001 gone". Written with one write() so that lines of processes that
// share the file never mix.
void ControllerModel::Write(const ModuleEnd& end, const char* direction, const std::uint8_t* bytes,
                            std::size_t count) const
{
    if (transcript_ < 0) {
        return;
    }
    std::string line = end.name + " " + direction;
    if (count > 0) {
        line += " " + Hex(bytes, count);
    }
    line += "\n";
    for (std::size_t done = 0; done < line.size();) {
        const ssize_t n = ::write(transcript_, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;  // a transcript that cannot be written is not the controller's concern
        }
        done += static_cast<std::size_t>(n);
    }
}

std::string Hex(const std::uint8_t* bytes, std::size_t count) { return lumora::HexBytes(bytes, count); }

std::string Describe(const Packet& packet)
{
    char word[8];
    const char* name = lumora::CommandName(packet.commandWord);
    if (name == nullptr) {
        std::snprintf(word, sizeof word, "0x%04X", packet.commandWord);
        name = word;
    }
    return lumora::DescribePacket((packet.flags & kFlagReadRequest) != 0, name, packet.payload.data(),
                                  packet.payload.size());
}

std::string Summary(const Packet& packet, const std::string& answer)
{
    char line[512];
    std::snprintf(line, sizeof line, "seq %3u  %-40s %d report%s -> %s", packet.sequence, Describe(packet).c_str(),
                  packet.reports, packet.reports == 1 ? " " : "s", answer.c_str());
    return line;
}

std::optional<AckMode> ParseAckMode(const std::string& word)
{
    if (word == "ok") {
        return AckMode::Ok;
    }
    if (word == "error") {
        return AckMode::ErrorFlag;
    }
    if (word == "silent") {
        return AckMode::Silent;
    }
    return std::nullopt;
}

std::optional<StatusReply> ParseStatusReply(const std::string& word)
{
    static constexpr std::pair<const char*, StatusReply> kWords[] = {
        {"normal", StatusReply::Normal}, {"silent", StatusReply::Silent}, {"empty", StatusReply::Empty},
        {"error", StatusReply::ErrorFlag}, {"short", StatusReply::Short},
    };
    for (const auto& [name, reply] : kWords) {
        if (word == name) {
            return reply;
        }
    }
    return std::nullopt;
}

namespace {

// The items of a comma-separated list, in order; "" is one empty item.
std::vector<std::string> Items(const std::string& text)
{
    std::vector<std::string> items;
    std::size_t at = 0;
    do {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        items.push_back(text.substr(at, comma - at));
        at = comma + 1;
    } while (at <= text.size());
    return items;
}

bool AllDigits(const std::string& text, bool hex)
{
    return std::all_of(text.begin(), text.end(), [hex](char c) {
        return (hex ? std::isxdigit(static_cast<unsigned char>(c)) : std::isdigit(static_cast<unsigned char>(c))) != 0;
    });
}

// A decimal number from low to high, and nothing else.
std::optional<int> Decimal(const std::string& digits, int low, int high)
{
    if (digits.empty() || digits.size() > 9 || !AllDigits(digits, false)) {
        return std::nullopt;
    }
    const int value = std::stoi(digits);
    return value >= low && value <= high ? std::optional<int>(value) : std::nullopt;
}

// "N:V,N:V": packet numbers from 1 with a value from 0 to high each, as
// reply faults made by `make`; nullopt when an item is not of that shape.
std::optional<std::vector<ReplyFault>> ParseFaults(const std::string& text, int high, ReplyFault (*make)(int, int))
{
    std::vector<ReplyFault> faults;
    for (const std::string& item : Items(text)) {
        const std::size_t colon = item.find(':');
        const std::optional<int> packet = Decimal(item.substr(0, colon), 1, 1 << 30);
        const std::optional<int> value =
            colon == std::string::npos ? std::nullopt : Decimal(item.substr(colon + 1), 0, high);
        if (!packet || !value) {
            return std::nullopt;
        }
        faults.push_back(make(*packet, *value));
    }
    return faults;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ParseStatusSeries(const std::string& text)
{
    std::vector<std::uint8_t> series;
    for (const std::string& item : Items(text)) {
        if (item.empty() || item.size() > 2 || !AllDigits(item, true)) {
            return std::nullopt;
        }
        series.push_back(static_cast<std::uint8_t>(std::stoul(item, nullptr, 16)));
    }
    return series;
}

std::optional<std::vector<ReplyFault>> ParseLateReplies(const std::string& text)
{
    return ParseFaults(text, 1 << 30, [](int packet, int ms) {
        return ReplyFault{packet, std::chrono::milliseconds(ms), std::nullopt};
    });
}

std::optional<std::vector<ReplyFault>> ParseReplySequences(const std::string& text)
{
    return ParseFaults(text, 255, [](int packet, int sequence) {
        return ReplyFault{packet, std::chrono::milliseconds(0), static_cast<std::uint8_t>(sequence)};
    });
}

std::optional<std::vector<std::uint16_t>> ParseCommandWords(const std::string& text)
{
    std::vector<std::uint16_t> words;
    for (const std::string& item : Items(text)) {
        std::optional<std::uint16_t> word;
        for (int id = 0; id < lumora::CommandCount; ++id) {
            if (item == lumora::CommandNames[id]) {
                word = static_cast<std::uint16_t>(lumora::CommandTable[id].group << 8 | lumora::CommandTable[id].code);
            }
        }
        if (!word && item.size() > 2 && item.size() <= 6 && item.starts_with("0x") && AllDigits(item.substr(2), true)) {
            word = static_cast<std::uint16_t>(std::stoul(item.substr(2), nullptr, 16));
        }
        if (!word) {
            return std::nullopt;
        }
        words.push_back(*word);
    }
    return words;
}

}  // namespace sim
