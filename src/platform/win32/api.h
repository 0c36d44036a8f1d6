#pragma once

// Windows' own headers, for this backend only. The platform headers come
// first: they declare names (ERROR_SUCCESS, NIM_ADD, MB_OK, ...) that
// <windows.h> then makes macros of. The A/W macros of the functions the
// platform layer declares under their plain names are undone, so that those
// names stay the platform's.

#include "platform/environment.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/win32_types.h"

#include <string>
#include <windows.h>

#undef CreateProcess
#undef ExpandEnvironmentStrings
#undef GetFileVersionInfo
#undef GetFileVersionInfoSize
#undef MessageBox
#undef RegConnectRegistry
#undef RegCreateKeyEx
#undef RegDeleteKey
#undef RegDeleteValue
#undef RegEnumKey
#undef RegEnumValue
#undef RegOpenKeyEx
#undef RegQueryInfoKey
#undef RegQueryValueEx
#undef RegSetValueEx
#undef Shell_NotifyIcon
#undef VerQueryValue

namespace platform::win32 {

// The platform's handles are Windows' own, held as integers of pointer size;
// the predefined registry roots are the same sign-extended numbers.
inline ::HKEY NativeKey(HKEY hKey) {
    return reinterpret_cast<::HKEY>(hKey);
}
inline ::HANDLE NativeHandle(HANDLE handle) {
    return reinterpret_cast<::HANDLE>(handle);
}
// INVALID_HANDLE_VALUE, whose macro would take the platform's HANDLE here.
inline ::HANDLE InvalidHandle() {
    return reinterpret_cast<::HANDLE>(static_cast<::LONG_PTR>(-1));
}
template <typename Handle> std::intptr_t Ours(Handle handle) {
    return reinterpret_cast<std::intptr_t>(handle);
}

} // namespace platform::win32
