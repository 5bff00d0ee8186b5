#include "connection/diagnosis.h"

#include "connection/connection.h"
#include "connection/module_lock.h"
#include "connection/open_failure.h"
#include "link/utf8.h"

namespace lumora {

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
                lock.path.empty() ? "its device node is unknown" : "cannot lock it: " + LockErrorText(lock.error),
                0, "", {}};
    }
    const std::string& path = attempt.choice.module.path;
    const std::string& detail = attempt.detail;
    return {ClassifyOpenFailure(path, detail, attempt.error), path, detail, 0, "", {}};
}

}  // namespace lumora
