// The version facility on Linux. It knows one file: "shell32.dll", which the
// tray asks about to size its records. The notification area here (Qt's
// tray) offers what version 6 of it offers: tooltips of 128 characters and
// balloons.

#include "platform/common/version_resource.h"

#include <strings.h>

namespace platform {

namespace {
bool IsShell(const char* name) {
    return name != nullptr && strcasecmp(name, "shell32.dll") == 0;
}
} // namespace

DWORD GetFileVersionInfoSize(const char* lptstrFilename, DWORD* lpdwHandle) {
    if (lpdwHandle != nullptr) {
        *lpdwHandle = 0;
    }
    return IsShell(lptstrFilename) ? detail::kVersionResourceSize : 0;
}

BOOL GetFileVersionInfo(const char* lptstrFilename, DWORD /*dwHandle*/, DWORD dwLen, void* lpData) {
    if (!IsShell(lptstrFilename) || lpData == nullptr || dwLen < detail::kVersionResourceSize) {
        return FALSE;
    }
    detail::FillVersionResource(lpData, 6, 0);
    return TRUE;
}

BOOL VerQueryValue(const void* pBlock, const char* lpSubBlock, void** lplpBuffer, UINT* puLen) {
    return detail::QueryFixedInfo(pBlock, lpSubBlock, lplpBuffer, puLen);
}

} // namespace platform
