#pragma once

#include <cstdlib>
#include <pwd.h>
#include <string>
#include <unistd.h>

namespace platform::posix {

// The user's home: HOME, else the password database's, else the root.
inline std::string HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    const passwd* pw = ::getpwuid(::getuid());
    return pw != nullptr && pw->pw_dir != nullptr ? pw->pw_dir : "/";
}

} // namespace platform::posix
