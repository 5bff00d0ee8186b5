#include "link/lock_handle.h"

#include <unistd.h>

namespace lumora {

void ReleaseLockHandle(int lock) { ::close(lock); }  // the kernel drops the lock with the descriptor

}  // namespace lumora
