#include "connection/module_watcher.h"

#include <algorithm>

namespace lumora {

std::vector<ModuleChange> AttachedNodes::Add(const std::string& node, const std::string& port)
{
    const std::string key = port.empty() ? node : port;
    auto known = std::find_if(nodes_.begin(), nodes_.end(), [&node](const auto& entry) { return entry.first == node; });
    if (known != nodes_.end() && known->second == key) {
        return {};
    }
    std::vector<ModuleChange> changes = Remove(node);
    if (!Has(key)) {
        changes.push_back({ModuleChange::Kind::Plugged, key});
    }
    nodes_.emplace_back(node, key);
    return changes;
}

std::vector<ModuleChange> AttachedNodes::Remove(const std::string& node)
{
    auto known = std::find_if(nodes_.begin(), nodes_.end(), [&node](const auto& entry) { return entry.first == node; });
    if (known == nodes_.end()) {
        return {};
    }
    const std::string key = known->second;
    nodes_.erase(known);
    if (Has(key)) {
        return {};
    }
    return {{ModuleChange::Kind::Unplugged, key}};
}

std::vector<std::string> AttachedNodes::Ports() const
{
    std::vector<std::string> ports;
    for (const auto& [node, key] : nodes_) {
        if (std::find(ports.begin(), ports.end(), key) == ports.end()) {
            ports.push_back(key);
        }
    }
    return ports;
}

bool AttachedNodes::Has(const std::string& key) const
{
    return std::any_of(nodes_.begin(), nodes_.end(), [&key](const auto& entry) { return entry.second == key; });
}

}  // namespace lumora
