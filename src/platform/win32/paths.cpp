// Program paths on Windows: Netvigil's platform command (ping.exe) sits in
// the program's own directory, which is where Windows looks first.

#include "platform/paths.h"

#include "platform/win32/api.h"

namespace platform {

std::string ExecutablePath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const ::DWORD length =
            ::GetModuleFileNameA(nullptr, path.data(), static_cast<::DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
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
    const std::string own = LibexecDirectory();
    for (const char* dirs : {own.c_str(), static_cast<const char*>(nullptr)}) {
        std::string found(MAX_PATH, '\0');
        const ::DWORD length = ::SearchPathA(
            dirs, name.c_str(), ".exe", static_cast<::DWORD>(found.size()), found.data(), nullptr);
        if (length > 0 && length < found.size()) {
            found.resize(length);
            return found;
        }
    }
    return {};
}

} // namespace platform
