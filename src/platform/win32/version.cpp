// The version facility over version.dll; the tray asks it about the real
// shell32.dll. The file names cross as UTF-16.

#include "platform/win32/library.h"
#include "platform/win32/wide.h"

#include <string_view>

namespace platform {

DWORD GetFileVersionInfoSize(const char* lptstrFilename, DWORD* lpdwHandle) {
    static auto* const size =
        win32::Entry<decltype(::GetFileVersionInfoSizeW)>("version.dll", "GetFileVersionInfoSizeW");
    ::DWORD handle = 0;
    const ::DWORD result = size(win32::WideArgument(lptstrFilename).Get(), &handle);
    if (lpdwHandle != nullptr) {
        *lpdwHandle = handle;
    }
    return result;
}

BOOL GetFileVersionInfo(const char* lptstrFilename, DWORD dwHandle, DWORD dwLen, void* lpData) {
    static auto* const info =
        win32::Entry<decltype(::GetFileVersionInfoW)>("version.dll", "GetFileVersionInfoW");
    return info(win32::WideArgument(lptstrFilename).Get(), dwHandle, dwLen, lpData);
}

// The fixed block ("\") only, as every backend answers: the text blocks that
// VerQueryValueW gives are UTF-16, which no caller of these 8-bit forms could
// read as its own.
BOOL VerQueryValue(const void* pBlock, const char* lpSubBlock, void** lplpBuffer, UINT* puLen) {
    static auto* const query =
        win32::Entry<decltype(::VerQueryValueW)>("version.dll", "VerQueryValueW");
    if (lpSubBlock == nullptr || std::string_view(lpSubBlock) != "\\") {
        return FALSE;
    }
    ::UINT length = 0;
    const BOOL found = query(pBlock, L"\\", lplpBuffer, &length);
    if (puLen != nullptr) {
        *puLen = length;
    }
    return found;
}

} // namespace platform
