#include "patterns/sequence_file.h"

// The TOML reader is compiled into this file alone, without exceptions: a
// syntax error comes back as a value with its position.
#define TOML_EXCEPTIONS 0
#define TOML_ENABLE_FORMATTERS 0
#include <toml++/toml.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <limits>
#include <span>

namespace lumora {

namespace {

using Keys = std::span<const std::string_view>;

constexpr std::string_view kTopKeys[] = {"exposure_us", "period_us",    "frequency_hz", "repeat", "flip",
                                         "leds",        "trigger_out1", "trigger_out2", "pattern"};
constexpr std::string_view kFlipKeys[] = {"long_axis", "short_axis"};
constexpr std::string_view kLedKeys[] = {"red", "green", "blue"};
constexpr std::string_view kTriggerOut1Keys[] = {"invert", "rising_delay", "falling_delay"};
constexpr std::string_view kTriggerOut2Keys[] = {"invert", "rising_delay"};
constexpr std::string_view kPatternKeys[] = {"image", "pattern", "bits", "color", "invert", "black"};

constexpr std::int64_t kMaxMicroseconds = std::numeric_limits<std::uint32_t>::max();
constexpr std::int64_t kMinFrequencyHz = 1;
constexpr std::int64_t kMaxFrequencyHz = 120;
constexpr std::int64_t kMicrosecondsPerSecond = 1000000;
constexpr std::int64_t kMaxByte = 255;
constexpr std::size_t kShownTextBytes = 40;  // of a string value quoted in a message

std::string Number(std::int64_t value) { return std::to_string(value); }

// A text for a message: quoted, control characters escaped, long text cut
// (never inside a UTF-8 sequence).
std::string Quote(std::string_view text)
{
    bool cut = false;
    if (text.size() > kShownTextBytes) {
        std::size_t end = kShownTextBytes;
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
            --end;
        }
        text = text.substr(0, end);
        cut = true;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + (cut ? "...\"" : "\"");
}

// A key as a message shows it: bare when it is a bare TOML key, else quoted.
std::string KeyText(std::string_view key)
{
    const bool bare = !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    });
    return bare ? std::string(key) : Quote(key);
}

std::string Join(Keys keys)
{
    std::string text;
    std::size_t i = 0;
    for (const std::string_view key : keys) {
        text += i == 0 ? "" : i + 1 == keys.size() ? " or " : ", ";
        text += key;
        ++i;
    }
    return text;
}

// What a value is, for "expected ..., found ...", with the value itself
// where it is short.
std::string Found(const toml::node& node)
{
    switch (node.type()) {
    case toml::node_type::string:
        return "a string " + Quote(node.as_string()->get());
    case toml::node_type::integer:
        return "the integer " + Number(node.as_integer()->get());
    case toml::node_type::floating_point: {
        char text[40];
        std::snprintf(text, sizeof text, "%g", node.as_floating_point()->get());
        return std::string("the number ") + text;
    }
    case toml::node_type::boolean:
        return node.as_boolean()->get() ? "true" : "false";
    case toml::node_type::table:
        return "a table";
    case toml::node_type::array:
        return "a list";
    case toml::node_type::date:
        return "a date";
    case toml::node_type::time:
        return "a time";
    case toml::node_type::date_time:
        return "a date and time";
    case toml::node_type::none:
        break;
    }
    return "nothing";
}

// Collects the errors of one file.
class Checker {
public:
    explicit Checker(std::string_view file) : file_(file) {}

    void Error(const toml::source_position& at, std::string key, std::string message)
    {
        errors_.push_back({file_, static_cast<int>(at.line), static_cast<int>(at.column), std::move(key),
                           std::move(message)});
    }
    void Error(const toml::node& at, std::string key, std::string message)
    {
        Error(at.source().begin, std::move(key), std::move(message));
    }
    void FileError(std::string key, std::string message) { Error({0, 0}, std::move(key), std::move(message)); }

    bool Clean() const { return errors_.empty(); }

    std::vector<SequenceError> TakeErrors()
    {
        std::stable_sort(errors_.begin(), errors_.end(), [](const SequenceError& a, const SequenceError& b) {
            return a.line != b.line ? a.line < b.line : a.column < b.column;
        });
        return std::move(errors_);
    }

    // Every key of the table must be one of `known`.
    void KnownKeys(const toml::table& table, const std::string& path, Keys known)
    {
        for (const auto& [key, value] : table) {
            if (std::find(known.begin(), known.end(), key.str()) == known.end()) {
                const std::string where = path.empty() ? "" : " in " + path;
                Error(key.source().begin, Path(path, KeyText(key.str())),
                      "unknown key " + KeyText(key.str()) + where + "; expected " + Join(known));
            }
        }
    }

    void WrongType(const toml::node& node, const std::string& key, std::string_view expected)
    {
        Error(node, key, key + ": expected " + std::string(expected) + ", found " + Found(node));
    }

    // An integer within [low, high], compared before it is narrowed. Returns
    // false (with an error) when the value is something else.
    bool Integer(const toml::node& node, const std::string& key, std::int64_t low, std::int64_t high,
                 std::int64_t& out, std::string_view rangeNote = "")
    {
        const toml::value<std::int64_t>* value = node.as_integer();
        if (value == nullptr) {
            WrongType(node, key, "an integer");
            return false;
        }
        const std::int64_t v = value->get();
        if (v < low || v > high) {
            Error(node, key,
                  key + " = " + Number(v) + " is out of range (" + Number(low) + " to " + Number(high) +
                      std::string(rangeNote) + ")");
            return false;
        }
        out = v;
        return true;
    }

    // An optional byte-sized integer: left as it is when the key is absent.
    void Byte(const toml::node* node, const std::string& key, std::uint8_t& out)
    {
        std::int64_t value = 0;
        if (node != nullptr && Integer(*node, key, 0, kMaxByte, value)) {
            out = static_cast<std::uint8_t>(value);
        }
    }

    // An optional boolean: left as it is when the key is absent.
    void Boolean(const toml::node* node, const std::string& key, bool& out)
    {
        if (node == nullptr) {
            return;
        }
        if (const toml::value<bool>* value = node->as_boolean()) {
            out = value->get();
        } else {
            WrongType(*node, key, "true or false");
        }
    }

    // An optional inline table with the given keys; nullptr when it is
    // absent or not a table.
    const toml::table* Table(const toml::node* node, const std::string& key, Keys known)
    {
        if (node == nullptr) {
            return nullptr;
        }
        const toml::table* table = node->as_table();
        if (table == nullptr) {
            WrongType(*node, key, "a table such as { " + std::string(known.front()) + " = ... }");
            return nullptr;
        }
        KnownKeys(*table, key, known);
        return table;
    }

    static std::string Path(const std::string& parent, const std::string& key)
    {
        return parent.empty() ? key : parent + "." + key;
    }

private:
    std::string file_;
    std::vector<SequenceError> errors_;
};

void ReadTiming(Checker& check, const toml::table& root, Sequence& sequence)
{
    const toml::node* frequency = root.get("frequency_hz");
    const toml::node* exposure = root.get("exposure_us");
    const toml::node* period = root.get("period_us");
    std::int64_t hz = 0;
    std::int64_t exposureUs = 0;
    std::int64_t periodUs = 0;
    const bool frequencyOk =
        frequency != nullptr && check.Integer(*frequency, "frequency_hz", kMinFrequencyHz, kMaxFrequencyHz, hz);
    const bool exposureOk =
        exposure != nullptr && check.Integer(*exposure, "exposure_us", 1, kMaxMicroseconds, exposureUs);
    const bool periodOk = period != nullptr && check.Integer(*period, "period_us", 1, kMaxMicroseconds, periodUs);

    if (frequency != nullptr && (exposure != nullptr || period != nullptr)) {
        check.Error(*frequency, "frequency_hz",
                    "frequency_hz: give either frequency_hz or exposure_us and period_us, not both");
    } else if (frequency != nullptr) {
        if (frequencyOk) {
            sequence.exposureUs = sequence.periodUs = static_cast<std::uint32_t>(kMicrosecondsPerSecond / hz);
        }
    } else if (exposure != nullptr && period == nullptr) {
        check.Error(*exposure, "exposure_us", "exposure_us: period_us must be given with it");
    } else if (period != nullptr && exposure == nullptr) {
        check.Error(*period, "period_us", "period_us: exposure_us must be given with it");
    } else if (exposure == nullptr) {
        check.FileError("", "no timing: give frequency_hz, or exposure_us and period_us");
    } else if (exposureOk && periodOk) {
        if (periodUs < exposureUs) {
            check.Error(*period, "period_us",
                        "period_us = " + Number(periodUs) + " is shorter than exposure_us = " + Number(exposureUs) +
                            "; the frame period must be at least the exposure");
        } else {
            sequence.exposureUs = static_cast<std::uint32_t>(exposureUs);
            sequence.periodUs = static_cast<std::uint32_t>(periodUs);
        }
    }
}

void ReadTriggerOutput(Checker& check, const toml::table& root, std::string_view name, Keys known, bool hasFalling,
                       TriggerOutput& out)
{
    const std::string key(name);
    const toml::table* table = check.Table(root.get(name), key, known);
    if (table == nullptr) {
        return;
    }
    out.given = true;
    check.Boolean(table->get("invert"), key + ".invert", out.invert);
    check.Byte(table->get("rising_delay"), key + ".rising_delay", out.risingDelay);
    if (hasFalling) {
        check.Byte(table->get("falling_delay"), key + ".falling_delay", out.fallingDelay);
    }
}

// Reads the [[pattern]] tables into entries, one entry per pattern number,
// and counts the image changes as the controller will meet them.
class PatternReader {
public:
    PatternReader(Checker& check, Sequence& sequence) : check_(check), sequence_(sequence) {}

    void Read(const toml::table& root)
    {
        const toml::node* node = root.get("pattern");
        if (node == nullptr) {
            check_.FileError("pattern", "no [[pattern]] entry: a sequence shows at least one pattern");
            return;
        }
        const toml::array* tables = node->as_array();
        if (tables == nullptr) {
            check_.WrongType(*node, "pattern", "[[pattern]] tables");
            return;
        }
        if (tables->empty()) {
            check_.Error(*node, "pattern", "pattern: no entry: a sequence shows at least one pattern");
            return;
        }
        for (std::size_t i = 0; i < tables->size(); ++i) {
            const toml::node& element = *tables->get(i);
            const std::string key = "pattern[" + std::to_string(i) + "]";
            if (const toml::table* table = element.as_table()) {
                ReadTable(*table, key);
            } else {
                check_.WrongType(element, key, "a table");
            }
        }
    }

private:
    void ReadTable(const toml::table& table, const std::string& key)
    {
        check_.KnownKeys(table, key, kPatternKeys);
        SequenceEntry entry;
        bool imageKnown = false;

        const toml::node* image = table.get("image");
        std::int64_t value = 0;
        if (image == nullptr) {
            check_.Error(table, key + ".image", key + ": image is missing (the flash image index, 0 to 255)");
        } else if (check_.Integer(*image, key + ".image", 0, kMaxByte, value)) {
            entry.image = static_cast<std::uint8_t>(value);
            imageKnown = true;
        }

        bool bitsKnown = true;
        if (const toml::node* bits = table.get("bits")) {
            bitsKnown = check_.Integer(*bits, key + ".bits", kMinBitDepth, kMaxBitDepth, value);
            entry.bits = static_cast<std::uint8_t>(bitsKnown ? value : kMaxBitDepth);
        }

        if (const toml::node* color = table.get("color")) {
            if (const toml::value<std::string>* name = color->as_string()) {
                if (!ColourByName(name->get(), entry.colour)) {
                    check_.Error(*color, key + ".color",
                                 key + ".color = " + Quote(name->get()) + " is not a colour; use " +
                                     std::string(kColourChoices));
                }
            } else {
                check_.WrongType(*color, key + ".color", "a colour name (" + std::string(kColourChoices) + ")");
            }
        }
        check_.Boolean(table.get("invert"), key + ".invert", entry.invert);
        check_.Boolean(table.get("black"), key + ".black", entry.black);

        const toml::node* pattern = table.get("pattern");
        if (pattern == nullptr) {
            check_.Error(table, key + ".pattern",
                         key + ": pattern is missing (a pattern number of the image, or a list of them)");
            return;
        }
        // Without a valid bit depth, check the numbers against the widest range.
        const int highest = MaxPatternNumber(bitsKnown ? entry.bits : kMinBitDepth);
        const std::string note = bitsKnown ? " at " + Number(entry.bits) + " bit" + (entry.bits == 1 ? "" : "s") : "";
        if (const toml::array* list = pattern->as_array()) {
            if (list->empty()) {
                check_.Error(*pattern, key + ".pattern", key + ".pattern: an empty list; give at least one number");
            }
            for (std::size_t j = 0; j < list->size(); ++j) {
                AddPattern(*list->get(j), key + ".pattern[" + std::to_string(j) + "]", highest, note, entry,
                           imageKnown);
            }
        } else if (pattern->is_integer()) {
            AddPattern(*pattern, key + ".pattern", highest, note, entry, imageKnown);
        } else {
            check_.WrongType(*pattern, key + ".pattern", "a pattern number or a list of them");
        }
    }

    // One pattern number: checked, counted, and kept as an entry while the
    // file has no error (so that nothing beyond the limit is kept).
    void AddPattern(const toml::node& number, const std::string& key, int highest, const std::string& note,
                    SequenceEntry entry, bool imageKnown)
    {
        std::int64_t value = 0;
        if (check_.Integer(number, key, 0, highest, value, note)) {
            entry.pattern = static_cast<std::uint8_t>(value);
        }
        ++entries_;
        if (entries_ == kMaxSequenceEntries + 1) {
            check_.Error(number, key,
                         key + ": entry " + Number(entries_) + " of the sequence; the pattern LUT holds at most " +
                             Number(kMaxSequenceEntries));
        }
        if (!imageKnown) {
            return;  // counted no further: the image is already in error
        }
        // The first entry and each change of image take an image LUT entry.
        if (!previousKnown_ || entry.image != previousImage_) {
            ++images_;
            if (images_ == kMaxSequenceImages + 1) {
                check_.Error(number, key,
                             key + ": image " + Number(entry.image) + " here is image change " + Number(images_) +
                                 "; the image LUT holds at most " + Number(kMaxSequenceImages) +
                                 " (the first image and each change of image take one entry)");
            }
        }
        previousKnown_ = true;
        previousImage_ = entry.image;
        if (check_.Clean()) {
            sequence_.entries.push_back(entry);
        }
    }

    Checker& check_;
    Sequence& sequence_;
    int entries_ = 0;
    int images_ = 0;
    bool previousKnown_ = false;
    std::uint8_t previousImage_ = 0;
};

}  // namespace

std::string FormatSequenceError(const SequenceError& error)
{
    if (error.line == 0) {
        return error.file + ": " + error.message;
    }
    return error.file + ":" + std::to_string(error.line) + ":" + std::to_string(error.column) + ": " + error.message;
}

SequenceFile ReadSequenceText(std::string_view text, std::string_view name)
{
    Checker check(name);
    SequenceFile result;
    if (text.size() > kMaxSequenceFileBytes) {
        check.FileError("", "larger than " + Number(kMaxSequenceFileBytes >> 20) +
                                " MiB; a sequence file is a few kilobytes of TOML");
        result.errors = check.TakeErrors();
        return result;
    }
    const toml::parse_result parsed = toml::parse(text);
    if (!parsed) {
        const toml::parse_error& error = parsed.error();
        check.Error(error.source().begin, "", std::string(error.description()));
        result.errors = check.TakeErrors();
        return result;
    }
    const toml::table& root = parsed.table();
    Sequence sequence;
    check.KnownKeys(root, "", kTopKeys);
    ReadTiming(check, root, sequence);
    check.Boolean(root.get("repeat"), "repeat", sequence.repeat);
    if (const toml::table* flip = check.Table(root.get("flip"), "flip", kFlipKeys)) {
        check.Boolean(flip->get("long_axis"), "flip.long_axis", sequence.flipLongAxis);
        check.Boolean(flip->get("short_axis"), "flip.short_axis", sequence.flipShortAxis);
    }
    if (const toml::table* leds = check.Table(root.get("leds"), "leds", kLedKeys)) {
        check.Byte(leds->get("red"), "leds.red", sequence.ledRed);
        check.Byte(leds->get("green"), "leds.green", sequence.ledGreen);
        check.Byte(leds->get("blue"), "leds.blue", sequence.ledBlue);
    }
    ReadTriggerOutput(check, root, "trigger_out1", kTriggerOut1Keys, true, sequence.triggerOut1);
    ReadTriggerOutput(check, root, "trigger_out2", kTriggerOut2Keys, false, sequence.triggerOut2);
    PatternReader(check, sequence).Read(root);

    result.errors = check.TakeErrors();
    if (result.errors.empty()) {
        result.sequence = std::move(sequence);
    }
    return result;
}

SequenceFile ReadSequenceFile(const std::string& path)
{
    const bool standardInput = path == "-";
    const std::string name = standardInput ? std::string(kStandardInputName) : path;
    const auto failed = [&name](const char* what) {
        const int error = errno;
        SequenceFile result;
        result.errors.push_back({name, 0, 0, "", std::string(what) + ": " + std::strerror(error)});
        return result;
    };
    std::FILE* file = standardInput ? stdin : std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return failed("cannot open the file");
    }
    // Read one byte beyond the limit, so that a larger file is recognised.
    std::string text;
    char block[4096];
    std::size_t got = 0;
    while (text.size() <= kMaxSequenceFileBytes && (got = std::fread(block, 1, sizeof block, file)) > 0) {
        text.append(block, got);
    }
    const bool readFailed = std::ferror(file) != 0;
    if (!standardInput) {
        std::fclose(file);
    }
    if (readFailed) {
        return failed("cannot read the file");
    }
    return ReadSequenceText(text, name);
}

}  // namespace lumora
