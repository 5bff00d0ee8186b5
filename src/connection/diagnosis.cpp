#include "connection/diagnosis.h"

#include "connection/connection.h"
#include "link/utf8.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lumora {

namespace {

bool Mentions(const std::string& text, const char* phrase) { return text.find(phrase) != std::string::npos; }

}  // namespace

OpenDiagnosis DiagnoseOpenFailure()
{
    const OpenAttempt& attempt = LastOpenAttempt();
    switch (attempt.choice.problem) {
    case ChoiceProblem::None:
        break;
    case ChoiceProblem::NoModule:
        return {OpenProblem::NoModule, "", "", 0, "", {}};
    case ChoiceProblem::NoSuchPort:
        return {OpenProblem::NoSuchPort, "", "", 0, "", {}};
    case ChoiceProblem::NoSuchPath:
        return {OpenProblem::NoSuchPath, "", "", 0, "", {}};
    case ChoiceProblem::NoSuchSerial:
        return {OpenProblem::NoSuchSerial, "", "", 0, "", {}};
    case ChoiceProblem::SharedSerial:
        return {OpenProblem::SharedSerial, "", "", 0, "", attempt.choice.ports};
    }
    if (const LockRefusal& lock = LastLockRefusal(); lock.refused) {
        if (lock.held) {
            return {OpenProblem::Busy, lock.path, "locked by another program", lock.pid, lock.program, {}};
        }
        return {OpenProblem::Other, lock.path,
                lock.path.empty() ? "its device node is unknown" : std::string("cannot lock it: ") + std::strerror(lock.error),
                0, "", {}};
    }
    const std::string& path = attempt.choice.module.path;
    const std::string& detail = attempt.detail;
    const int openErrno = attempt.error;
    if (Mentions(detail, "Permission denied") || openErrno == EACCES || openErrno == EPERM ||
        (::access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES)) {
        return {OpenProblem::NoAccess, path, detail, 0, "", {}};
    }
    if (Mentions(detail, "busy") || openErrno == EBUSY) {
        return {OpenProblem::Busy, path, detail, 0, "", {}};
    }
    return {OpenProblem::Other, path, detail, 0, "", {}};
}

}  // namespace lumora
