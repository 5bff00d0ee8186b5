#include "connection/diagnosis.h"

#include "connection/connection.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lumora {

namespace {

bool Mentions(const std::string& text, const char* phrase) { return text.find(phrase) != std::string::npos; }

}  // namespace

std::string ToUtf8(const wchar_t* text)
{
    std::string utf8;
    for (; text != nullptr && *text != L'\0'; ++text) {
        auto c = static_cast<char32_t>(*text);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            c = 0xFFFD;  // not a character: the replacement character
        }
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else if (c < 0x800) {
            utf8 += static_cast<char>(0xC0 | c >> 6);
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            utf8 += static_cast<char>(0xE0 | c >> 12);
            utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | c >> 18);
            utf8 += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

std::wstring FromUtf8(const std::string& text)
{
    std::wstring wide;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
        bool valid = lead < 0x80 || extra > 0;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto next = i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
            valid = valid && (next & 0xC0) == 0x80;
            c = c << 6 | (next & 0x3F);
        }
        wide += valid ? static_cast<wchar_t>(c) : L'\uFFFD';
        i += valid ? extra + 1 : 1;
    }
    return wide;
}

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
