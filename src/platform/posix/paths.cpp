#include "platform/paths.h"

#include <climits>
#include <cstdlib>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

} // namespace

std::string FindProgram(const std::string& name) {
    if (name.empty()) {
        return {};
    }
    if (name.find('/') != std::string::npos) {
        return IsExecutableFile(name) ? name : std::string();
    }
    if (const std::string own = LibexecDirectory() + "/" + name; IsExecutableFile(own)) {
        return own;
    }
    const char* path = std::getenv("PATH");
    std::string_view dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const auto colon = dirs.find(':');
        const std::string_view dir = dirs.substr(0, colon);
        const std::string candidate =
            (dir.empty() ? std::string(".") : std::string(dir)) + "/" + name;
        if (IsExecutableFile(candidate)) {
            return candidate;
        }
        if (colon == std::string_view::npos) {
            return {};
        }
        dirs.remove_prefix(colon + 1);
    }
}

std::string ExecutablePath() {
    std::string path(4096, '\0');
    const ssize_t len = ::readlink("/proc/self/exe", path.data(), path.size());
    path.resize(len > 0 ? static_cast<std::size_t>(len) : 0);
    return path;
}

std::string LibexecDirectory() {
    if (const char* dir = std::getenv("NETVIGIL_LIBEXEC"); dir != nullptr && *dir != '\0') {
        return dir;
    }
    const std::string exe = ExecutablePath();
    const auto slash = exe.rfind('/');
    if (slash != std::string::npos) {
        const std::string beside = exe.substr(0, slash) + "/../libexec/netvigil";
        if (IsDirectory(beside)) {
            char resolved[PATH_MAX];
            return ::realpath(beside.c_str(), resolved) != nullptr ? resolved : beside;
        }
    }
    if (IsDirectory(NETVIGIL_INSTALL_LIBEXEC_DIR)) {
        return NETVIGIL_INSTALL_LIBEXEC_DIR;
    }
    return NETVIGIL_BUILD_LIBEXEC_DIR;
}

} // namespace platform
