// Program paths on Windows: Netvigil's platform command (ping.exe) sits in
// the program's own directory, which is where Windows looks first.

#include "platform/paths.h"

#include "platform/win32/api.h"
#include "platform/win32/wide.h"

namespace platform {

std::string ExecutablePath() {
    // A path cut to the buffer fills it: a larger one is tried.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const ::DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<::DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return win32::Narrow(path);
        }
        path.resize(path.size() * 2);
    }
}

std::string LibexecDirectory() {
    const std::string exe = ExecutablePath();
    return exe.substr(0, exe.find_last_of("\\/"));
}

std::string FindProgram(const std::string& name) {
    if (name.empty()) {
        return {};
    }
    // As CreateProcess looks: the program's directory, then the system's.
    // The answer is the length needed when it does not fit.
    const std::wstring own = win32::Wide(LibexecDirectory());
    const std::wstring program = win32::Wide(name);
    for (const wchar_t* dirs : {own.c_str(), static_cast<const wchar_t*>(nullptr)}) {
        std::wstring found(MAX_PATH, L'\0');
        for (;;) {
            const ::DWORD length =
                ::SearchPathW(dirs, program.c_str(), L".exe", static_cast<::DWORD>(found.size()),
                              found.data(), nullptr);
            if (length >= found.size()) {
                found.assign(length, L'\0');
                continue;
            }
            if (length > 0) {
                found.resize(length);
                return win32::Narrow(found);
            }
            break;
        }
    }
    return {};
}

} // namespace platform
