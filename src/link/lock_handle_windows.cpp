#include "link/lock_handle.h"

#include <windows.h>

#include <cstdint>

namespace lumora {

// The handle's low 32 bits, sign-extended, are the handle.
void ReleaseLockHandle(int lock) { ::CloseHandle(reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(lock))); }

}  // namespace lumora
