#pragma once

// The registry functions, in the shape of their Windows (8-bit text) forms.
// Every function returns ERROR_SUCCESS or a Windows system error code; text is
// UTF-8, and sizes count its bytes, as the A forms count them for a program
// whose code page is UTF-8.

#include "platform/win32_types.h"

#include <string>
#include <string_view>

namespace platform {

// Windows' limits: a key name (one level of a path) of 255 characters, a value
// name of 16,383, a tree 512 levels deep below its root. Windows counts them
// in UTF-16 units; the store of Linux in bytes.
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;
constexpr int kMaxKeyDepth = 512;

LONG RegOpenKeyEx(HKEY hKey, const char* lpSubKey, DWORD ulOptions, REGSAM samDesired,
                  HKEY* phkResult);
LONG RegCreateKeyEx(HKEY hKey, const char* lpSubKey, DWORD Reserved, const char* lpClass,
                    DWORD dwOptions, REGSAM samDesired,
                    const SECURITY_ATTRIBUTES* lpSecurityAttributes, HKEY* phkResult,
                    DWORD* lpdwDisposition);
LONG RegCloseKey(HKEY hKey);
LONG RegQueryValueEx(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType,
                     BYTE* lpData, DWORD* lpcbData);
LONG RegSetValueEx(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType,
                   const BYTE* lpData, DWORD cbData);
LONG RegDeleteKey(HKEY hKey, const char* lpSubKey);
LONG RegDeleteValue(HKEY hKey, const char* lpValueName);
LONG RegEnumKey(HKEY hKey, DWORD dwIndex, char* lpName, DWORD cchName);
LONG RegEnumValue(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName,
                  DWORD* lpReserved, DWORD* lpType, BYTE* lpData, DWORD* lpcbData);
LONG RegQueryInfoKey(HKEY hKey, char* lpClass, DWORD* lpcchClass, DWORD* lpReserved,
                     DWORD* lpcSubKeys, DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen,
                     DWORD* lpcValues, DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen,
                     DWORD* lpcbSecurityDescriptor, FILETIME* lpftLastWriteTime);
LONG RegConnectRegistry(const char* lpMachineName, HKEY hKey, HKEY* phkResult);

// The same calls for names held in a std::string. Passed on as a C string, a
// name with a NUL inside would be cut short there and reach some other key or
// value, so such a name is refused as the bad parameter it is.
inline bool HoldsNul(std::string_view name) {
    return name.find('\0') != std::string_view::npos;
}
inline LONG RegOpenKeyEx(HKEY hKey, const std::string& sSubKey, DWORD ulOptions, REGSAM samDesired,
                         HKEY* phkResult) {
    return HoldsNul(sSubKey)
               ? ERROR_INVALID_PARAMETER
               : RegOpenKeyEx(hKey, sSubKey.c_str(), ulOptions, samDesired, phkResult);
}
inline LONG RegCreateKeyEx(HKEY hKey, const std::string& sSubKey, DWORD Reserved,
                           const char* lpClass, DWORD dwOptions, REGSAM samDesired,
                           const SECURITY_ATTRIBUTES* lpSecurityAttributes, HKEY* phkResult,
                           DWORD* lpdwDisposition) {
    return HoldsNul(sSubKey)
               ? ERROR_INVALID_PARAMETER
               : RegCreateKeyEx(hKey, sSubKey.c_str(), Reserved, lpClass, dwOptions, samDesired,
                                lpSecurityAttributes, phkResult, lpdwDisposition);
}
inline LONG RegQueryValueEx(HKEY hKey, const std::string& sValueName, DWORD* lpReserved,
                            DWORD* lpType, BYTE* lpData, DWORD* lpcbData) {
    return HoldsNul(sValueName)
               ? ERROR_INVALID_PARAMETER
               : RegQueryValueEx(hKey, sValueName.c_str(), lpReserved, lpType, lpData, lpcbData);
}
inline LONG RegSetValueEx(HKEY hKey, const std::string& sValueName, DWORD Reserved, DWORD dwType,
                          const BYTE* lpData, DWORD cbData) {
    return HoldsNul(sValueName)
               ? ERROR_INVALID_PARAMETER
               : RegSetValueEx(hKey, sValueName.c_str(), Reserved, dwType, lpData, cbData);
}
inline LONG RegDeleteKey(HKEY hKey, const std::string& sSubKey) {
    return HoldsNul(sSubKey) ? ERROR_INVALID_PARAMETER : RegDeleteKey(hKey, sSubKey.c_str());
}
inline LONG RegDeleteValue(HKEY hKey, const std::string& sValueName) {
    return HoldsNul(sValueName) ? ERROR_INVALID_PARAMETER
                                : RegDeleteValue(hKey, sValueName.c_str());
}

} // namespace platform
