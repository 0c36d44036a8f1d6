#include "platform/win32/api.h"
#include "platform/win32/wide.h"

#include <cstring>
#include <string>

namespace platform {

// Expanded in UTF-16, then measured and handed out as the A form does: the
// size it needs, terminator included, in bytes of UTF-8.
DWORD ExpandEnvironmentStrings(const char* lpSrc, char* lpDst, DWORD nSize) {
    const win32::WideArgument source(lpSrc);
    std::wstring expanded(64, L'\0');
    for (;;) {
        const ::DWORD needed = ::ExpandEnvironmentStringsW(source.Get(), expanded.data(),
                                                           static_cast<::DWORD>(expanded.size()));
        if (needed == 0) {
            return 0;
        }
        if (needed <= expanded.size()) {
            expanded.resize(needed - 1);
            break;
        }
        expanded.assign(needed, L'\0');
    }
    const std::string text = win32::Narrow(expanded);
    const auto needed = static_cast<DWORD>(text.size() + 1);
    if (lpDst != nullptr && nSize >= needed) {
        std::memcpy(lpDst, text.c_str(), needed);
    }
    return needed;
}

} // namespace platform
