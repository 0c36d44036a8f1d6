#pragma once

// A version resource as the version functions hand it out: a fixed-file-info
// block with the file's version, at a known place inside the data.

#include "platform/shell.h"

#include <cstring>

namespace platform::detail {

inline constexpr DWORD kVersionSignature = 0xFEEF04BD;
// The fixed block sits after a header, as in a real resource.
inline constexpr DWORD kFixedInfoOffset = 40;
inline constexpr DWORD kVersionResourceSize = kFixedInfoOffset + sizeof(VS_FIXEDFILEINFO);

inline void FillVersionResource(void* data, WORD major, WORD minor) {
    std::memset(data, 0, kVersionResourceSize);
    VS_FIXEDFILEINFO info{};
    info.dwSignature = kVersionSignature;
    info.dwStrucVersion = 0x00010000;
    info.dwFileVersionMS = static_cast<DWORD>(major) << 16 | minor;
    info.dwProductVersionMS = info.dwFileVersionMS;
    std::memcpy(static_cast<BYTE*>(data) + kFixedInfoOffset, &info, sizeof info);
}

inline BOOL QueryFixedInfo(const void* pBlock, const char* lpSubBlock, void** lplpBuffer,
                           UINT* puLen) {
    if (pBlock == nullptr || lpSubBlock == nullptr || std::strcmp(lpSubBlock, "\\") != 0) {
        return FALSE;
    }
    auto* info = const_cast<BYTE*>(static_cast<const BYTE*>(pBlock)) + kFixedInfoOffset;
    DWORD signature = 0;
    std::memcpy(&signature, info, sizeof signature);
    if (signature != kVersionSignature) {
        return FALSE;
    }
    *lplpBuffer = info;
    *puLen = sizeof(VS_FIXEDFILEINFO);
    return 1;
}

} // namespace platform::detail
