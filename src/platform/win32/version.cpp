// The version facility over version.dll; the tray asks it about the real
// shell32.dll.

#include "platform/win32/library.h"

namespace platform {

DWORD GetFileVersionInfoSize(const char* lptstrFilename, DWORD* lpdwHandle) {
    static auto* const size =
        win32::Entry<decltype(::GetFileVersionInfoSizeA)>("version.dll", "GetFileVersionInfoSizeA");
    ::DWORD handle = 0;
    const ::DWORD result = size(lptstrFilename, &handle);
    if (lpdwHandle != nullptr) {
        *lpdwHandle = handle;
    }
    return result;
}

BOOL GetFileVersionInfo(const char* lptstrFilename, DWORD dwHandle, DWORD dwLen, void* lpData) {
    static auto* const info =
        win32::Entry<decltype(::GetFileVersionInfoA)>("version.dll", "GetFileVersionInfoA");
    return info(lptstrFilename, dwHandle, dwLen, lpData);
}

BOOL VerQueryValue(const void* pBlock, const char* lpSubBlock, void** lplpBuffer, UINT* puLen) {
    static auto* const query =
        win32::Entry<decltype(::VerQueryValueA)>("version.dll", "VerQueryValueA");
    ::UINT length = 0;
    const BOOL found = query(pBlock, lpSubBlock, lplpBuffer, &length);
    if (puLen != nullptr) {
        *puLen = length;
    }
    return found;
}

} // namespace platform
