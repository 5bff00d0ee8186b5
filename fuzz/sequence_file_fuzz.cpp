// Arbitrary bytes as a sequence file.
//
// Input: the file's text.
//
// The reader must never crash or hang, and must answer with either a
// sequence or at least one error, never both. An error names the file and a
// position inside the text (or none) and says something. A sequence it
// accepts must keep every rule of the file (so that the tables derive from it
// and fit), and its listing must be exactly what the simulated controller
// receives when the sequence is sent.
#include "connection/connection.h"
#include "link/commands.h"
#include "link/link.h"
#include "patterns/lut.h"
#include "patterns/sequence.h"
#include "patterns/sequence_file.h"
#include "patterns/sequence_listing.h"
#include "sim/sim_controller.h"
#include "tests/link_reset.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace lumora;

[[noreturn]] void Fail(const char* what, const std::string& detail = "")
{
    std::fprintf(stderr, "sequence_file fuzz: %s %s\n", what, detail.c_str());
    std::abort();
}

void CheckErrors(const SequenceFile& file, std::string_view text)
{
    const auto lines = 1 + std::count(text.begin(), text.end(), '\n');
    for (const SequenceError& error : file.errors) {
        if (error.file != "fuzz" || error.message.empty()) {
            Fail("an error without its file or message:", FormatSequenceError(error));
        }
        if (error.line < 0 || error.line > lines + 1 || (error.line == 0) != (error.column == 0) ||
            (error.line > 0 && error.column < 1)) {
            Fail("an error outside the text:", FormatSequenceError(error));
        }
    }
}

void CheckRules(const Sequence& sequence)
{
    if (sequence.exposureUs < 1 || sequence.periodUs < sequence.exposureUs) {
        Fail("timing accepted out of its rules");
    }
    if (sequence.entries.empty() || sequence.entries.size() > kMaxSequenceEntries) {
        Fail("entry count accepted out of range:", std::to_string(sequence.entries.size()));
    }
    for (const SequenceEntry& entry : sequence.entries) {
        if (entry.bits < kMinBitDepth || entry.bits > kMaxBitDepth || entry.pattern > MaxPatternNumber(entry.bits)) {
            Fail("an entry accepted out of range");
        }
        if (ColourName(static_cast<std::uint8_t>(entry.colour)) == "none") {
            Fail("an entry without a colour");
        }
    }
}

// Sends the sequence to the simulated controller and compares what it
// received with the listing, packet by packet.
void CheckListingAgainstTheWire(const Sequence& sequence)
{
    const SequenceListing listing = ListSequence(sequence);
    if (listing.entries.size() != sequence.entries.size() || listing.images.empty()) {
        Fail("an accepted sequence whose tables do not derive");
    }
    ResetLinkState();
    sim::ReleaseClosedHandles();
    if (!ConnectDevice()) {
        Fail("the simulated controller could not be opened");
    }
    sim::ClearRecords();
    const RunRecord record = RunSequence(sequence, false);
    if (record.invalid || !record.started) {
        Fail("an accepted sequence was not started by a willing controller");
    }
    const std::vector<sim::Packet>& packets = sim::Packets();
    if (packets.size() != listing.run.size()) {
        Fail("the listing and the wire differ in length:",
             std::to_string(listing.run.size()) + " listed, " + std::to_string(packets.size()) + " sent");
    }
    for (std::size_t i = 0; i < packets.size(); ++i) {
        const std::string listed = DescribePacket(listing.run[i].packet);
        const std::string sent = sim::Describe(packets[i]);
        if (listed != sent) {
            Fail("the listing and the wire differ:", listed + " listed, " + sent + " sent");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool once = [] {
        SetPauseFunction([](int) {});
        return true;
    }();
    (void)once;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const SequenceFile file = ReadSequenceText(text, "fuzz");
    if (file.sequence.has_value() == !file.errors.empty()) {
        Fail("a sequence and errors together, or neither");
    }
    CheckErrors(file, text);
    if (file.sequence) {
        CheckRules(*file.sequence);
        CheckListingAgainstTheWire(*file.sequence);
    }
    return 0;
}
