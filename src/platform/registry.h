#pragma once

// The registry functions, in the shape of their Windows (8-bit text) forms.
// Every function returns ERROR_SUCCESS or a Windows system error code; text is
// in the system's 8-bit code page (UTF-8 on Linux).

#include "platform/win32_types.h"

namespace platform {

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

} // namespace platform
