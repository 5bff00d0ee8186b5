#include "connection/open_failure.h"

#include <unistd.h>

#include <cerrno>

namespace lumora {

namespace {

bool Mentions(const std::string& text, const char* phrase) { return text.find(phrase) != std::string::npos; }

}  // namespace

OpenProblem ClassifyOpenFailure(const std::string& path, const std::string& detail, int error)
{
    if (Mentions(detail, "Permission denied") || error == EACCES || error == EPERM ||
        (::access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES)) {
        return OpenProblem::NoAccess;
    }
    if (Mentions(detail, "busy") || error == EBUSY) {
        return OpenProblem::Busy;
    }
    return OpenProblem::Other;
}

}  // namespace lumora
