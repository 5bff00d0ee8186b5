// The module's lock on Windows: a named file mapping of the session per
// module, "Local\lumora-module-<hash of the device path>". The program that
// creates it holds the module; a program that finds it there is refused and
// reads the holder's process ID and name from it. It lives as long as a
// handle to it is open, so Windows drops it when the holder closes it or
// ends in any way, a crash or TerminateProcess included; no thread owns it,
// so the module may be opened on one thread and closed on another.
//
// Finding it and reading it, or creating it and writing it, happen under a
// named mutex of the same module, so that no program sees a record half
// written, and a program that was only looking (and so kept the object
// alive a moment) is gone before the next one looks. A program that dies
// inside leaves that mutex abandoned, which the next one takes as free.
#include "connection/module_lock.h"

#include "link/utf8.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace lumora {

namespace {

// How long a program waits for another that is itself taking or looking at
// the lock: a few microseconds' work, unless that program is stopped there.
constexpr DWORD kGuardWaitMs = 2000;

// What the holder leaves for the next program.
struct HolderRecord {
    DWORD pid;
    char program[256];  // UTF-8, NUL-terminated
};

// The names of a module's objects. Windows compares device paths without
// regard to case, so the hash does too.
std::wstring ObjectName(const std::string& path, const wchar_t* kind)
{
    std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a, 64 bits
    for (const char c : path) {
        const unsigned char lower = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        hash = (hash ^ lower) * 1099511628211ULL;
    }
    wchar_t name[64];
    std::swprintf(name, 64, L"Local\\lumora-%ls-%016llx", kind, static_cast<unsigned long long>(hash));
    return name;
}

// This program's name as a person sees it in a command: the file name of
// the executable without ".exe".
std::string ThisProgram()
{
    wchar_t file[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, file, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return "";
    }
    std::wstring name(file, length);
    name.erase(0, name.find_last_of(L"\\/") + 1);
    if (name.size() > 4 && ::_wcsicmp(name.c_str() + name.size() - 4, L".exe") == 0) {
        name.resize(name.size() - 4);
    }
    return ToUtf8(name.c_str());
}

void WriteRecord(HANDLE mapping)
{
    auto* record = static_cast<HolderRecord*>(::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(HolderRecord)));
    if (record == nullptr) {
        return;  // the lock holds all the same; the next program cannot say who has it
    }
    record->pid = ::GetCurrentProcessId();
    const std::string program = ThisProgram();
    const std::size_t length = std::min(program.size(), sizeof record->program - 1);
    std::memcpy(record->program, program.data(), length);
    record->program[length] = '\0';
    ::UnmapViewOfFile(record);
}

LockHolder ReadRecord(HANDLE mapping)
{
    const auto* record =
        static_cast<const HolderRecord*>(::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(HolderRecord)));
    if (record == nullptr) {
        return {};
    }
    LockHolder holder;
    holder.pid = static_cast<int>(record->pid);
    holder.program.assign(record->program, strnlen(record->program, sizeof record->program));
    ::UnmapViewOfFile(record);
    return holder;
}

}  // namespace

std::string LockErrorText(int error)
{
    wchar_t text[512];
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                          static_cast<DWORD>(error), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text,
                                          sizeof text / sizeof text[0], nullptr);
    std::string said = ToUtf8(std::wstring(text, length).c_str());
    while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == ' ' || said.back() == '.')) {
        said.pop_back();
    }
    if (said.empty()) {
        char code[32];
        std::snprintf(code, sizeof code, "error %d", error);
        said = code;
    }
    return said;
}

namespace {

// Takes the module's guard mutex; nullptr, with error set, when it cannot.
HANDLE TakeGuard(const std::string& path, int& error)
{
    HANDLE guard = ::CreateMutexW(nullptr, FALSE, ObjectName(path, L"guard").c_str());
    if (guard == nullptr) {
        error = static_cast<int>(::GetLastError());
        return nullptr;
    }
    const DWORD waited = ::WaitForSingleObject(guard, kGuardWaitMs);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        error = static_cast<int>(waited == WAIT_TIMEOUT ? ERROR_TIMEOUT : ::GetLastError());
        ::CloseHandle(guard);
        return nullptr;
    }
    return guard;
}

void LetGuardGo(HANDLE guard)
{
    ::ReleaseMutex(guard);
    ::CloseHandle(guard);
}

}  // namespace

bool FindNodeHolder(const std::string& path, LockHolder& holder)
{
    int error = 0;
    HANDLE guard = TakeGuard(path, error);
    if (guard == nullptr) {
        return false;
    }
    HANDLE mapping = ::OpenFileMappingW(FILE_MAP_READ, FALSE, ObjectName(path, L"module").c_str());
    if (mapping != nullptr) {
        holder = ReadRecord(mapping);
        ::CloseHandle(mapping);
    }
    LetGuardGo(guard);
    return mapping != nullptr;
}

LockResult LockModule(const std::string& path, int& lock, LockHolder& holder, int& error)
{
    lock = -1;
    HANDLE guard = TakeGuard(path, error);
    if (guard == nullptr) {
        return LockResult::Failed;
    }
    HANDLE mapping = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(HolderRecord),
                                          ObjectName(path, L"module").c_str());
    const DWORD created = ::GetLastError();
    LockResult result = LockResult::Taken;
    if (mapping == nullptr) {
        error = static_cast<int>(created);
        result = LockResult::Failed;
    } else if (created == ERROR_ALREADY_EXISTS) {
        holder = ReadRecord(mapping);
        ::CloseHandle(mapping);
        result = LockResult::Held;
    } else {
        WriteRecord(mapping);
        // Only the low 32 bits of a kernel handle are significant, so that
        // 32- and 64-bit programs can share them: it fits the link's int.
        lock = static_cast<int>(reinterpret_cast<std::intptr_t>(mapping));
    }
    LetGuardGo(guard);
    return result;
}

}  // namespace lumora
