#include "actions/module_listing.h"

#include "link/printable.h"
#include "connection/module_lock.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

namespace lumora {

namespace {

constexpr const char* kColumns = "PORT\tSERIAL\tPRODUCT\tMANUFACTURER\tSTATE\tNODES\n";

// Unicode's well-formed UTF-8 byte sequences: the lead byte's range, the
// range of the byte after it, and the sequence's length (the bytes after the
// second are 80 to BF).
struct SequenceShape {
    std::uint8_t leadLow, leadHigh, secondLow, secondHigh;
    std::size_t length;
};
constexpr SequenceShape kWellFormed[] = {
    {0x00, 0x7F, 0x00, 0x00, 1}, {0xC2, 0xDF, 0x80, 0xBF, 2}, {0xE0, 0xE0, 0xA0, 0xBF, 3},
    {0xE1, 0xEC, 0x80, 0xBF, 3}, {0xED, 0xED, 0x80, 0x9F, 3}, {0xEE, 0xEF, 0x80, 0xBF, 3},
    {0xF0, 0xF0, 0x90, 0xBF, 4}, {0xF1, 0xF3, 0x80, 0xBF, 4}, {0xF4, 0xF4, 0x80, 0x8F, 4},
};

// The code point of the well-formed sequence at text[at], and its length; a
// stray byte counts as U+FFFD of length 1.
char32_t NextCodePoint(std::string_view text, std::size_t at, std::size_t& length)
{
    const auto byte = [&text](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    length = 1;
    for (const SequenceShape& shape : kWellFormed) {
        if (byte(at) < shape.leadLow || byte(at) > shape.leadHigh) {
            continue;
        }
        if (at + shape.length > text.size()) {
            return 0xFFFD;
        }
        if (shape.length > 1 && (byte(at + 1) < shape.secondLow || byte(at + 1) > shape.secondHigh)) {
            return 0xFFFD;
        }
        char32_t c = shape.length == 1 ? byte(at) : byte(at) & (0xFF >> (shape.length + 1));
        for (std::size_t k = 1; k < shape.length; ++k) {
            if ((byte(at + k) & 0xC0) != 0x80) {
                return 0xFFFD;
            }
            c = c << 6 | (byte(at + k) & 0x3F);
        }
        length = shape.length;
        return c;
    }
    return 0xFFFD;
}

std::string Nodes(const ModuleInfo& module, const char* separator, std::string (*field)(std::string_view))
{
    std::string nodes;
    for (const ModuleInterface& interface : module.interfaces) {
        nodes += (nodes.empty() ? "" : separator) + field(interface.path);
    }
    return nodes;
}

std::string Shown(std::string_view text) { return Printable(text); }

}  // namespace

std::string ModuleState(const ModuleInfo& module)
{
    LockHolder holder;
    if (FindNodeHolder(module.path, holder)) {
        if (holder.pid <= 0) {
            return "held by another program";
        }
        return "held by " + (holder.program.empty() ? std::string() : holder.program + " ") + "(process " +
               std::to_string(holder.pid) + ")";
    }
    if (::access(module.path.c_str(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM)) {
        return "not accessible";
    }
    return "free";
}

std::string RenderModuleTable(const std::vector<ModuleInfo>& modules)
{
    std::string table = kColumns;
    for (const ModuleInfo& module : modules) {
        for (const std::string& field :
             {module.port, module.serial, module.product, module.manufacturer, ModuleState(module)}) {
            table += Printable(field) + "\t";
        }
        table += Nodes(module, " ", Shown) + "\n";
    }
    return table;
}

std::string JsonString(std::string_view text)
{
    std::string json = "\"";
    char escape[16];
    for (std::size_t at = 0, length = 0; at < text.size(); at += length) {
        const char32_t c = NextCodePoint(text, at, length);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c == '\n') {
            json += "\\n";
        } else if (c == '\t') {
            json += "\\t";
        } else if (c >= 0x20 && c < 0x7F) {
            json += static_cast<char>(c);
        } else if (c < 0x10000) {
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            json += escape;
        } else {
            // Beyond the first plane: a surrogate pair.
            const char32_t above = c - 0x10000;
            std::snprintf(escape, sizeof escape, "\\u%04x\\u%04x", static_cast<unsigned>(0xD800 + (above >> 10)),
                          static_cast<unsigned>(0xDC00 + (above & 0x3FF)));
            json += escape;
        }
    }
    return json + "\"";
}

std::string RenderModuleJson(const std::vector<ModuleInfo>& modules)
{
    std::string json = "[";
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const ModuleInfo& module = modules[i];
        json += std::string(i == 0 ? "\n  " : ",\n  ") + "{\"port\": " + JsonString(module.port) +
                ", \"serial\": " + JsonString(module.serial) + ", \"product\": " + JsonString(module.product) +
                ", \"manufacturer\": " + JsonString(module.manufacturer) + ", \"state\": " +
                JsonString(ModuleState(module)) + ", \"nodes\": [" + Nodes(module, ", ", JsonString) + "]}";
    }
    return json + (modules.empty() ? "]\n" : "\n]\n");
}

std::string ChoiceNeedsValue(std::string_view option, ModuleChoice::By by)
{
    const char* what = by == ModuleChoice::By::Port   ? "a port"
                       : by == ModuleChoice::By::Path ? "a device node"
                                                      : "a serial number";
    return "'" + std::string(option) + "' needs " + what;
}

std::string ChoicesConflict(std::string_view first, std::string_view second)
{
    return "'" + std::string(first) + "' and '" + std::string(second) + "' do not go together: each chooses the module";
}

}  // namespace lumora
