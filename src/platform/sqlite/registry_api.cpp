// The registry functions over the backend's SQLite store. One lock makes them
// safe to call from any thread; the store itself is safe across processes.

#include "platform/registry.h"
#include "platform/sqlite/active_store.h"

#include <mutex>
#include <string_view>

namespace platform {

namespace sqlite {
std::mutex& RegistryLock() {
    static std::mutex lock;
    return lock;
}
} // namespace sqlite

namespace {

template <typename Call> LONG WithStore(Call call) {
    const std::lock_guard guard(sqlite::RegistryLock());
    return call(sqlite::ActiveStore());
}

} // namespace

LONG RegOpenKeyEx(HKEY hKey, const char* lpSubKey, DWORD ulOptions, REGSAM samDesired,
                  HKEY* phkResult) {
    if (ulOptions != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    return WithStore(
        [&](auto& store) { return store.OpenKeyEx(hKey, lpSubKey, samDesired, phkResult); });
}

LONG RegCreateKeyEx(HKEY hKey, const char* lpSubKey, DWORD Reserved, const char* /*lpClass*/,
                    DWORD dwOptions, REGSAM samDesired,
                    const SECURITY_ATTRIBUTES* /*lpSecurityAttributes*/, HKEY* phkResult,
                    DWORD* lpdwDisposition) {
    // Every key is kept: volatile keys, the only other option, are not offered.
    if (Reserved != 0 || dwOptions != REG_OPTION_NON_VOLATILE) {
        return ERROR_INVALID_PARAMETER;
    }
    return WithStore([&](auto& store) {
        return store.CreateKeyEx(hKey, lpSubKey, samDesired, phkResult, lpdwDisposition);
    });
}

LONG RegCloseKey(HKEY hKey) {
    return WithStore([&](auto& store) { return store.CloseKey(hKey); });
}

LONG RegQueryValueEx(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType,
                     BYTE* lpData, DWORD* lpcbData) {
    if (lpReserved != nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    return WithStore([&](auto& store) {
        return store.QueryValueEx(hKey, lpValueName, lpType, lpData, lpcbData);
    });
}

LONG RegSetValueEx(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType,
                   const BYTE* lpData, DWORD cbData) {
    if (Reserved != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    return WithStore(
        [&](auto& store) { return store.SetValueEx(hKey, lpValueName, dwType, lpData, cbData); });
}

LONG RegDeleteKey(HKEY hKey, const char* lpSubKey) {
    return WithStore([&](auto& store) { return store.DeleteKey(hKey, lpSubKey); });
}

LONG RegDeleteValue(HKEY hKey, const char* lpValueName) {
    return WithStore([&](auto& store) { return store.DeleteValue(hKey, lpValueName); });
}

LONG RegEnumKey(HKEY hKey, DWORD dwIndex, char* lpName, DWORD cchName) {
    return WithStore([&](auto& store) { return store.EnumKey(hKey, dwIndex, lpName, cchName); });
}

LONG RegEnumValue(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName,
                  DWORD* lpReserved, DWORD* lpType, BYTE* lpData, DWORD* lpcbData) {
    if (lpReserved != nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    return WithStore([&](auto& store) {
        return store.EnumValue(hKey, dwIndex, lpValueName, lpcchValueName, lpType, lpData,
                               lpcbData);
    });
}

LONG RegQueryInfoKey(HKEY hKey, char* lpClass, DWORD* lpcchClass, DWORD* lpReserved,
                     DWORD* lpcSubKeys, DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen,
                     DWORD* lpcValues, DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen,
                     DWORD* lpcbSecurityDescriptor, FILETIME* lpftLastWriteTime) {
    if (lpReserved != nullptr || (lpClass != nullptr && lpcchClass == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    sqlite::RegistryStore::KeyInfo info;
    const LONG status = WithStore([&](auto& store) { return store.QueryInfoKey(hKey, &info); });
    if (status != ERROR_SUCCESS) {
        return status;
    }
    // Keys carry no class name and no security descriptor of their own.
    if (lpClass != nullptr && *lpcchClass > 0) {
        lpClass[0] = '\0';
    }
    const auto put = [](DWORD* out, DWORD value) {
        if (out != nullptr) {
            *out = value;
        }
    };
    put(lpcchClass, 0);
    put(lpcSubKeys, info.subKeys);
    put(lpcbMaxSubKeyLen, info.maxSubKeyLen);
    put(lpcbMaxClassLen, 0);
    put(lpcValues, info.values);
    put(lpcbMaxValueNameLen, info.maxValueNameLen);
    put(lpcbMaxValueLen, info.maxValueLen);
    put(lpcbSecurityDescriptor, 0);
    if (lpftLastWriteTime != nullptr) {
        *lpftLastWriteTime = info.lastWrite;
    }
    return ERROR_SUCCESS;
}

LONG RegConnectRegistry(const char* lpMachineName, HKEY hKey, HKEY* phkResult) {
    // No remote registry service exists here: every named machine is out of reach.
    if (lpMachineName != nullptr && std::string_view(lpMachineName) != "") {
        return ERROR_BAD_NETPATH;
    }
    return WithStore([&](auto& store) { return store.ConnectRoot(hKey, phkResult); });
}

} // namespace platform
