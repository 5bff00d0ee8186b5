// The serial number an operator gives to choose among several modules.
#pragma once

#include <string>
#include <string_view>

namespace lumora {

// Makes the next open take the module with this serial number (UTF-8; empty
// for the first one found). Returns "" when chosen, else the problem, for a
// usage error: a serial number that is not UTF-8 or holds a NUL character is
// refused whole and the choice stays as it was. Cut short at the bad bytes,
// it could name another module.
std::string SelectSerial(std::string_view serial);

}  // namespace lumora
