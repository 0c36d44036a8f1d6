#include "platform/common/version_resource.h"
#include "platform/fake/fake_shell.h"

#include <strings.h>

namespace platform {

namespace {

std::optional<WORD> g_major = 6;
bool g_fail = false;

void FailIfTold() {
    if (g_fail) {
        throw Win32CallError("File not found: version.dll");
    }
}

bool Known(const char* name) {
    return g_major && name != nullptr && strcasecmp(name, "shell32.dll") == 0;
}

} // namespace

namespace fake {
void SetShellVersion(std::optional<WORD> major) {
    g_major = major;
}
void SetVersionFailure(bool fail) {
    g_fail = fail;
}
} // namespace fake

DWORD GetFileVersionInfoSize(const char* lptstrFilename, DWORD* lpdwHandle) {
    FailIfTold();
    if (lpdwHandle != nullptr) {
        *lpdwHandle = 0;
    }
    return Known(lptstrFilename) ? detail::kVersionResourceSize : 0;
}

BOOL GetFileVersionInfo(const char* lptstrFilename, DWORD /*dwHandle*/, DWORD dwLen, void* lpData) {
    FailIfTold();
    if (!Known(lptstrFilename) || lpData == nullptr || dwLen < detail::kVersionResourceSize) {
        return FALSE;
    }
    detail::FillVersionResource(lpData, *g_major, 0);
    return TRUE;
}

BOOL VerQueryValue(const void* pBlock, const char* lpSubBlock, void** lplpBuffer, UINT* puLen) {
    FailIfTold();
    return detail::QueryFixedInfo(pBlock, lpSubBlock, lplpBuffer, puLen);
}

} // namespace platform
