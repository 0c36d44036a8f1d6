#include "platform/win32/api.h"

namespace platform {

DWORD ExpandEnvironmentStrings(const char* lpSrc, char* lpDst, DWORD nSize) {
    return ::ExpandEnvironmentStringsA(lpSrc, lpDst, nSize);
}

} // namespace platform
