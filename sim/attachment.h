// What is plugged into the simulated machine, shared by the hidapi stand-in
// and the libudev stand-in: the attached interfaces, the unplugged ones with
// the time each comes back, and the device monitors that see them come and
// go. Guarded by its mutex, since a window may read it from its own thread
// while an action runs on another.
#pragma once

#include "sim/sim_controller.h"

#include <chrono>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sim {

using Clock = std::chrono::steady_clock;

// One interface attached, with the number of this plugging: a handle opened
// before an unplug stays dead after the replug.
struct Plugged {
    Module module;
    int plug = 0;
};

// An unplugged interface, and when it comes back (never when empty).
struct Away {
    Module module;
    std::optional<Clock::time_point> back;
};

// A device event as a monitor receives it: "add" or "remove", and the node.
struct NodeEvent {
    std::string action;
    Module module;
};

// The events waiting for one monitor. eventFd is readable while events wait;
// timerFd fires when the next unplug or replug is due.
struct MonitorQueue {
    std::deque<NodeEvent> events;
    int eventFd = -1;
    int timerFd = -1;
};

struct Attachment {
    std::mutex mutex;
    std::vector<Plugged> attached;  // in enumeration order
    std::vector<Away> away;
    std::optional<Clock::time_point> unplugAll;
    std::chrono::milliseconds replugDelay{0};
    int nextPlug = 1;
    std::vector<MonitorQueue*> monitors;
};

Attachment& Attached();

// With the mutex held: carries out the unplugs and replugs that are due by
// now, tells the monitors, and sets their timers for the next.
void CatchUp(Attachment& attachment, Clock::time_point now);

// With the mutex held: sets the monitors' timers for the next unplug or replug.
void ArmTimers(Attachment& attachment);

}  // namespace sim
