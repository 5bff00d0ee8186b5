#include "actions/serial.h"

#include "connection/connection.h"
#include "link/printable.h"
#include "link/utf8.h"

namespace lumora {

std::string SelectChoice(const ModuleChoice& choice)
{
    if (choice.by == ModuleChoice::By::Serial) {
        const std::optional<std::wstring> wide = FromUtf8(choice.value);
        const char* problem = !wide                                   ? "is not UTF-8"
                              : wide->find(L'\0') != std::wstring::npos ? "holds a NUL character"
                                                                        : nullptr;
        if (problem != nullptr) {
            return "the serial number '" + Printable(choice.value, kQuotedArgumentLimit) + "' " + problem;
        }
    }
    SelectModule(choice);
    return "";
}

}  // namespace lumora
