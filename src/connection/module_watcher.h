// Modules coming and going, seen as the kernel reports them (Linux alone:
// module_watcher_posix.cpp; on Windows Start says there is none): a watcher
// listens to the system's device events through libudev's monitor, keeps
// which hidraw nodes of the controller are attached at which port, and says
// when a module (a port) appears with its first node or goes with its last.
//
// It calls no HID function, so a window can poll it on its own thread while
// an action runs on another. Its descriptor becomes readable when events
// wait: a QSocketNotifier or poll() can watch it, and Changes() then reads
// them without blocking.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lumora {

struct ModuleChange {
    enum class Kind {
        Plugged,
        Unplugged,
    };
    Kind kind;
    std::string port;  // the module's port, or its node where the system tells no port
    bool operator==(const ModuleChange&) const = default;
};

// Which nodes of the controller are attached, by port; the grouping and the
// differences behind the watcher, apart from where the events come from.
class AttachedNodes {
public:
    // A node of the controller appeared at port ("" when unknown: the node is
    // a module of its own). A module is plugged when its first node comes; a
    // node seen again at another port moved there.
    std::vector<ModuleChange> Add(const std::string& node, const std::string& port);
    // A node went; its module is unplugged with its last node. A node never
    // added (another device's) changes nothing.
    std::vector<ModuleChange> Remove(const std::string& node);
    // The ports attached now, in the order they came.
    std::vector<std::string> Ports() const;

private:
    std::vector<std::pair<std::string, std::string>> nodes_;  // node, and its module's key, in order of arrival
    bool Has(const std::string& key) const;
};

class ModuleWatcher {
public:
    ModuleWatcher();
    ~ModuleWatcher();
    ModuleWatcher(const ModuleWatcher&) = delete;
    ModuleWatcher& operator=(const ModuleWatcher&) = delete;

    // Starts listening, then takes stock of the modules attached, so that
    // nothing that happens in between is missed. Returns false, and Error()
    // says why, when the system gives no device events.
    bool Start();

    // Readable while events wait; -1 before Start.
    int Fd() const;

    // Waits up to milliseconds (-1: for ever) until events wait, or a signal
    // comes. Returns false, and Error() says why, when it cannot wait.
    bool Wait(int milliseconds);

    // Reads every waiting event, without blocking; what they changed, in
    // the order it happened (a quick unplug and replug shows as both).
    std::vector<ModuleChange> Changes();

    // The modules' ports attached now.
    std::vector<std::string> Ports() const { return attached_.Ports(); }

    const std::string& Error() const { return error_; }

private:
    struct Udev;
    std::unique_ptr<Udev> udev_;
    AttachedNodes attached_;
    std::string error_;
};

}  // namespace lumora
