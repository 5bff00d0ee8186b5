#include "actions/serial.h"

#include "connection/connection.h"
#include "link/printable.h"
#include "link/utf8.h"

namespace lumora {

std::string SelectSerial(std::string_view serial)
{
    const std::optional<std::wstring> wide = FromUtf8(serial);
    const char* problem = !wide                                   ? "is not UTF-8"
                          : wide->find(L'\0') != std::wstring::npos ? "holds a NUL character"
                                                                    : nullptr;
    if (problem != nullptr) {
        return "the serial number '" + Printable(serial, kQuotedArgumentLimit) + "' " + problem;
    }
    SelectModule(*wide);
    return "";
}

}  // namespace lumora
