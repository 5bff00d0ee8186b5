// The handle by which the link holds the open module's lock (deviceLock),
// let go with the device: a descriptor on Linux, a kernel object's handle on
// Windows (connection/module_lock.h takes it).
#pragma once

namespace lumora {

// Lets the lock go at once; lock is not negative.
void ReleaseLockHandle(int lock);

}  // namespace lumora
