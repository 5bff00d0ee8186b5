// The module an operator chooses among several: by port, node or serial.
#pragma once

#include "connection/modules.h"

#include <string>

namespace lumora {

// Makes the next open take the module this choice names (an empty choice:
// the first one found). Returns "" when chosen, else the problem, for a
// usage error: a serial number that is not UTF-8 or holds a NUL character is
// refused whole and the choice stays as it was. Cut short at the bad bytes,
// it could name another module.
std::string SelectChoice(const ModuleChoice& choice);

}  // namespace lumora
