#include "platform/settings_store.h"

#include "platform/registry.h"

#include <string>

namespace platform {

namespace {

std::string SectionPath(const std::string& sAppName, const std::string& sSection) {
    return "Software\\" + sAppName + "\\" + sSection;
}

bool Valid(const std::string& sAppName, const std::string& sSection, const std::string& sKey) {
    return !sAppName.empty() && !sSection.empty() && !sKey.empty();
}

} // namespace

std::string GetSetting(const std::string& sAppName, const std::string& sSection,
                       const std::string& sKey, const std::string& sDefault) {
    if (!Valid(sAppName, sSection, sKey)) {
        return sDefault;
    }
    HKEY hKey = 0;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, SectionPath(sAppName, sSection), 0, KEY_QUERY_VALUE,
                     &hKey) != ERROR_SUCCESS) {
        return sDefault;
    }
    DWORD type = 0;
    DWORD size = 0;
    std::string data;
    LONG status = RegQueryValueEx(hKey, sKey, nullptr, &type, nullptr, &size);
    // Another process may grow the value between the two calls: ask again.
    for (int attempt = 0; status == ERROR_SUCCESS && attempt < 5; ++attempt) {
        data.assign(size, '\0');
        status = RegQueryValueEx(hKey, sKey, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                                 &size);
        if (status == ERROR_SUCCESS) {
            data.resize(size);
            break;
        }
        status = status == ERROR_MORE_DATA ? ERROR_SUCCESS : status;
    }
    RegCloseKey(hKey);
    if (status != ERROR_SUCCESS) {
        return sDefault;
    }
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        return data.substr(0, data.find('\0'));
    }
    if (type == REG_DWORD && data.size() == 4) {
        const auto* b = reinterpret_cast<const unsigned char*>(data.data());
        const auto value = static_cast<std::uint32_t>(b[0] | b[1] << 8 | b[2] << 16) |
                           static_cast<std::uint32_t>(b[3]) << 24;
        return std::to_string(static_cast<std::int32_t>(value));
    }
    return sDefault;
}

LONG SaveSetting(const std::string& sAppName, const std::string& sSection, const std::string& sKey,
                 const std::string& sSetting) {
    if (!Valid(sAppName, sSection, sKey)) {
        return ERROR_INVALID_PARAMETER;
    }
    HKEY hKey = 0;
    LONG status = RegCreateKeyEx(HKEY_CURRENT_USER, SectionPath(sAppName, sSection), 0, "",
                                 REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &hKey, nullptr);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status = RegSetValueEx(hKey, sKey, 0, REG_SZ, reinterpret_cast<const BYTE*>(sSetting.c_str()),
                           static_cast<DWORD>(sSetting.size() + 1));
    RegCloseKey(hKey);
    return status;
}

LONG DeleteSetting(const std::string& sAppName, const std::string& sSection,
                   const std::string& sKey) {
    if (!Valid(sAppName, sSection, sKey)) {
        return ERROR_INVALID_PARAMETER;
    }
    HKEY hKey = 0;
    LONG status =
        RegOpenKeyEx(HKEY_CURRENT_USER, SectionPath(sAppName, sSection), 0, KEY_SET_VALUE, &hKey);
    if (status == ERROR_SUCCESS) {
        status = RegDeleteValue(hKey, sKey);
        RegCloseKey(hKey);
    }
    // Deleting what is already gone leaves the store as the caller wants it.
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

} // namespace platform
