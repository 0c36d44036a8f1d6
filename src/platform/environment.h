#pragma once

#include "platform/win32_types.h"

namespace platform {

// Replaces each %NAME% whose variable is set by its value; other text, and
// references to unset variables, are copied unchanged. Returns the size the
// result needs, terminator included; writes dst only when it has that room.
DWORD ExpandEnvironmentStrings(const char* lpSrc, char* lpDst, DWORD nSize);

} // namespace platform
