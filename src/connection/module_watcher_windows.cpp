// Windows: no watcher. Its device notifications come to a window
// (RegisterDeviceNotification), and hidapi tells no port to group them by;
// a program lists the modules again instead.
#include "connection/module_watcher.h"

namespace lumora {

struct ModuleWatcher::Udev {};

ModuleWatcher::ModuleWatcher() = default;
ModuleWatcher::~ModuleWatcher() = default;

bool ModuleWatcher::Start()
{
    error_ = "this build for Windows has no watcher of modules; 'lumoractl list' shows the modules attached now";
    return false;
}

bool ModuleWatcher::Wait(int) { return false; }

int ModuleWatcher::Fd() const { return -1; }

std::vector<ModuleChange> ModuleWatcher::Changes() { return {}; }

}  // namespace lumora
