#include "platform/environment.h"

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <strings.h>

extern char** environ;

namespace platform {

namespace {

// Windows matches variable names without regard to case; the exact name wins
// here, since Linux may hold both spellings.
std::optional<std::string> Lookup(const std::string& name) {
    if (const char* value = std::getenv(name.c_str()); value != nullptr) {
        return value;
    }
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const char* eq = std::strchr(*entry, '=');
        if (eq != nullptr && static_cast<std::size_t>(eq - *entry) == name.size() &&
            strncasecmp(*entry, name.c_str(), name.size()) == 0) {
            return std::string(eq + 1);
        }
    }
    return std::nullopt;
}

} // namespace

DWORD ExpandEnvironmentStrings(const char* lpSrc, char* lpDst, DWORD nSize) {
    const std::string src = lpSrc == nullptr ? "" : lpSrc;
    std::string out;
    std::size_t i = 0;
    while (i < src.size()) {
        const auto open = src.find('%', i);
        const auto close = open == std::string::npos ? open : src.find('%', open + 1);
        if (close == std::string::npos) {
            out.append(src, i);
            break;
        }
        out.append(src, i, open - i);
        const auto value = Lookup(src.substr(open + 1, close - open - 1));
        if (close > open + 1 && value) {
            out += *value;
            i = close + 1;
        } else {
            // Not a reference: keep the text, and let the closing sign open the next one.
            out.append(src, open, close - open);
            i = close;
        }
    }
    const auto needed = static_cast<DWORD>(out.size() + 1);
    if (lpDst != nullptr && nSize >= needed) {
        std::memcpy(lpDst, out.c_str(), needed);
    }
    return needed;
}

} // namespace platform
