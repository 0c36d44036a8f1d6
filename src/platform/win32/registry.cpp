// The registry functions over advapi32's A forms: Windows answers for itself.
// Around each call: the handle count for the tests' leak checks, and, while a
// journal is open, what it takes to undo the change.

#include "platform/handles.h"
#include "platform/win32/api.h"
#include "platform/win32/journal.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

namespace {

// The roots are predefined numbers, not handles anyone opened.
bool Predefined(HKEY hKey) {
    const auto value = static_cast<std::uint64_t>(hKey);
    return value >= 0xFFFFFFFF80000000u && value <= 0xFFFFFFFF8000000Fu;
}

LONG HandOut(LONG status, ::HKEY opened, HKEY* phkResult) {
    if (status == ERROR_SUCCESS && phkResult != nullptr) {
        *phkResult = win32::Ours(opened);
        if (!Predefined(*phkResult)) {
            detail::HandleOpened();
        }
    }
    return status;
}

// A key handle of the journal's own, so that an undo does not depend on the
// caller's handles, which are closed long before.
class OwnKey {
public:
    OwnKey(::HKEY hKey, const char* path) {
        if (::RegOpenKeyExA(hKey, path, 0, KEY_ALL_ACCESS, &m_h) != ERROR_SUCCESS) {
            m_h = nullptr;
        }
    }
    ~OwnKey() {
        if (m_h != nullptr) {
            ::RegCloseKey(m_h);
        }
    }
    OwnKey(const OwnKey&) = delete;
    OwnKey& operator=(const OwnKey&) = delete;
    ::HKEY Get() const { return m_h; }

private:
    ::HKEY m_h = nullptr;
};

struct SavedValue {
    std::string name;
    bool existed = false;
    ::DWORD type = 0;
    std::string data;
};

SavedValue ReadValue(::HKEY hKey, const std::string& name) {
    SavedValue value;
    value.name = name;
    ::DWORD size = 0;
    if (::RegQueryValueExA(hKey, name.c_str(), nullptr, &value.type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return value;
    }
    value.data.resize(size);
    if (::RegQueryValueExA(hKey, name.c_str(), nullptr, &value.type,
                           reinterpret_cast<::BYTE*>(value.data.data()), &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        value.existed = true;
    }
    return value;
}

LONG WriteValue(::HKEY hKey, const SavedValue& value) {
    if (!value.existed) {
        const LONG status = ::RegDeleteValueA(hKey, value.name.c_str());
        return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
    }
    return ::RegSetValueExA(hKey, value.name.c_str(), 0, value.type,
                            reinterpret_cast<const ::BYTE*>(value.data.data()),
                            static_cast<::DWORD>(value.data.size()));
}

std::vector<SavedValue> ReadValues(::HKEY hKey) {
    std::vector<SavedValue> values;
    std::string name(16384, '\0');
    for (::DWORD i = 0;; ++i) {
        ::DWORD length = static_cast<::DWORD>(name.size());
        if (::RegEnumValueA(hKey, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            return values;
        }
        values.push_back(ReadValue(hKey, name.substr(0, length)));
    }
}

class Change {
public:
    virtual ~Change() = default;
    virtual LONG Undo() = 0;
};

// Keys a create made, deepest last.
class CreatedKeys final : public Change {
public:
    CreatedKeys(::HKEY parent, std::vector<std::string> paths)
        : m_parent(parent, nullptr), m_paths(std::move(paths)) {}
    LONG Undo() override {
        LONG result = ERROR_SUCCESS;
        for (auto path = m_paths.rbegin(); path != m_paths.rend(); ++path) {
            const LONG status = ::RegDeleteKeyA(m_parent.Get(), path->c_str());
            result = result == ERROR_SUCCESS ? status : result;
        }
        return result;
    }

private:
    OwnKey m_parent;
    std::vector<std::string> m_paths;
};

class ChangedValue final : public Change {
public:
    ChangedValue(::HKEY hKey, const std::string& name) : m_key(hKey, nullptr) {
        m_old = ReadValue(m_key.Get(), name);
    }
    LONG Undo() override { return WriteValue(m_key.Get(), m_old); }

private:
    OwnKey m_key;
    SavedValue m_old;
};

class DeletedKey final : public Change {
public:
    DeletedKey(::HKEY parent, const std::string& path) : m_parent(parent, nullptr), m_path(path) {
        const OwnKey key(parent, path.c_str());
        m_values = ReadValues(key.Get());
    }
    LONG Undo() override {
        ::HKEY key = nullptr;
        LONG status = ::RegCreateKeyExA(m_parent.Get(), m_path.c_str(), 0, nullptr, 0,
                                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
        for (const SavedValue& value : m_values) {
            status = status == ERROR_SUCCESS ? WriteValue(key, value) : status;
        }
        if (key != nullptr) {
            ::RegCloseKey(key);
        }
        return status;
    }

private:
    OwnKey m_parent;
    std::string m_path;
    std::vector<SavedValue> m_values;
};

std::mutex g_journalLock;
int g_journalDepth = 0;
std::vector<std::unique_ptr<Change>> g_changes;

bool Journaling() {
    const std::lock_guard guard(g_journalLock);
    return g_journalDepth > 0;
}

void Note(std::unique_ptr<Change> change) {
    const std::lock_guard guard(g_journalLock);
    g_changes.push_back(std::move(change));
}

// The levels of path below hKey that do not exist yet, shallowest first.
std::vector<std::string> MissingLevels(::HKEY hKey, const std::string& path) {
    std::vector<std::string> missing;
    for (std::size_t end = 0; end != std::string::npos;) {
        end = path.find('\\', end + 1);
        const std::string level = path.substr(0, end);
        if (level.empty() || level.back() == '\\') {
            continue;
        }
        ::HKEY h = nullptr;
        if (!missing.empty() ||
            ::RegOpenKeyExA(hKey, level.c_str(), 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) {
            missing.push_back(level);
        } else {
            ::RegCloseKey(h);
        }
    }
    return missing;
}

} // namespace

namespace win32 {

LONG BeginJournal() {
    const std::lock_guard guard(g_journalLock);
    ++g_journalDepth;
    return ERROR_SUCCESS;
}

LONG EndJournal(bool undo) {
    std::vector<std::unique_ptr<Change>> changes;
    {
        const std::lock_guard guard(g_journalLock);
        if (g_journalDepth == 0 || --g_journalDepth > 0) {
            return ERROR_SUCCESS;
        }
        changes.swap(g_changes);
    }
    LONG result = ERROR_SUCCESS;
    for (auto change = changes.rbegin(); undo && change != changes.rend(); ++change) {
        const LONG status = (*change)->Undo();
        result = result == ERROR_SUCCESS ? status : result;
    }
    return result;
}

} // namespace win32

LONG RegOpenKeyEx(HKEY hKey, const char* lpSubKey, DWORD ulOptions, REGSAM samDesired,
                  HKEY* phkResult) {
    ::HKEY opened = nullptr;
    const LONG status = ::RegOpenKeyExA(win32::NativeKey(hKey), lpSubKey, ulOptions, samDesired,
                                        phkResult != nullptr ? &opened : nullptr);
    return HandOut(status, opened, phkResult);
}

LONG RegCreateKeyEx(HKEY hKey, const char* lpSubKey, DWORD Reserved, const char* lpClass,
                    DWORD dwOptions, REGSAM samDesired,
                    const SECURITY_ATTRIBUTES* lpSecurityAttributes, HKEY* phkResult,
                    DWORD* lpdwDisposition) {
    ::SECURITY_ATTRIBUTES sa{};
    if (lpSecurityAttributes != nullptr) {
        sa.nLength = lpSecurityAttributes->nLength;
        sa.lpSecurityDescriptor = lpSecurityAttributes->lpSecurityDescriptor;
        sa.bInheritHandle = lpSecurityAttributes->bInheritHandle;
    }
    const ::HKEY parent = win32::NativeKey(hKey);
    std::unique_ptr<Change> change;
    if (Journaling() && lpSubKey != nullptr) {
        if (auto missing = MissingLevels(parent, lpSubKey); !missing.empty()) {
            change = std::make_unique<CreatedKeys>(parent, std::move(missing));
        }
    }
    ::HKEY opened = nullptr;
    ::DWORD disposition = 0;
    const LONG status =
        ::RegCreateKeyExA(parent, lpSubKey, Reserved, const_cast<char*>(lpClass), dwOptions,
                          samDesired, lpSecurityAttributes != nullptr ? &sa : nullptr,
                          phkResult != nullptr ? &opened : nullptr, &disposition);
    if (status == ERROR_SUCCESS && change) {
        Note(std::move(change));
    }
    if (status == ERROR_SUCCESS && lpdwDisposition != nullptr) {
        *lpdwDisposition = disposition;
    }
    return HandOut(status, opened, phkResult);
}

LONG RegCloseKey(HKEY hKey) {
    const LONG status = ::RegCloseKey(win32::NativeKey(hKey));
    if (status == ERROR_SUCCESS && !Predefined(hKey)) {
        detail::HandleClosed();
    }
    return status;
}

LONG RegQueryValueEx(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType,
                     BYTE* lpData, DWORD* lpcbData) {
    ::DWORD type = 0;
    ::DWORD size = lpcbData != nullptr ? *lpcbData : 0;
    const LONG status = ::RegQueryValueExA(
        win32::NativeKey(hKey), lpValueName, reinterpret_cast<::DWORD*>(lpReserved),
        lpType != nullptr ? &type : nullptr, lpData, lpcbData != nullptr ? &size : nullptr);
    if (lpType != nullptr && (status == ERROR_SUCCESS || status == ERROR_MORE_DATA)) {
        *lpType = type;
    }
    if (lpcbData != nullptr) {
        *lpcbData = size;
    }
    return status;
}

LONG RegSetValueEx(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType,
                   const BYTE* lpData, DWORD cbData) {
    const ::HKEY key = win32::NativeKey(hKey);
    std::unique_ptr<Change> change;
    if (Journaling()) {
        change = std::make_unique<ChangedValue>(key, lpValueName != nullptr ? lpValueName : "");
    }
    const LONG status = ::RegSetValueExA(key, lpValueName, Reserved, dwType, lpData, cbData);
    if (status == ERROR_SUCCESS && change) {
        Note(std::move(change));
    }
    return status;
}

LONG RegDeleteKey(HKEY hKey, const char* lpSubKey) {
    const ::HKEY parent = win32::NativeKey(hKey);
    std::unique_ptr<Change> change;
    if (Journaling() && lpSubKey != nullptr) {
        change = std::make_unique<DeletedKey>(parent, lpSubKey);
    }
    const LONG status = ::RegDeleteKeyA(parent, lpSubKey);
    if (status == ERROR_SUCCESS && change) {
        Note(std::move(change));
    }
    return status;
}

LONG RegDeleteValue(HKEY hKey, const char* lpValueName) {
    const ::HKEY key = win32::NativeKey(hKey);
    std::unique_ptr<Change> change;
    if (Journaling()) {
        change = std::make_unique<ChangedValue>(key, lpValueName != nullptr ? lpValueName : "");
    }
    const LONG status = ::RegDeleteValueA(key, lpValueName);
    if (status == ERROR_SUCCESS && change) {
        Note(std::move(change));
    }
    return status;
}

LONG RegEnumKey(HKEY hKey, DWORD dwIndex, char* lpName, DWORD cchName) {
    return ::RegEnumKeyA(win32::NativeKey(hKey), dwIndex, lpName, cchName);
}

LONG RegEnumValue(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName,
                  DWORD* lpReserved, DWORD* lpType, BYTE* lpData, DWORD* lpcbData) {
    ::DWORD nameLength = lpcchValueName != nullptr ? *lpcchValueName : 0;
    ::DWORD type = 0;
    ::DWORD size = lpcbData != nullptr ? *lpcbData : 0;
    const LONG status = ::RegEnumValueA(
        win32::NativeKey(hKey), dwIndex, lpValueName,
        lpcchValueName != nullptr ? &nameLength : nullptr, reinterpret_cast<::DWORD*>(lpReserved),
        lpType != nullptr ? &type : nullptr, lpData, lpcbData != nullptr ? &size : nullptr);
    if (lpcchValueName != nullptr) {
        *lpcchValueName = nameLength;
    }
    if (lpType != nullptr) {
        *lpType = type;
    }
    if (lpcbData != nullptr) {
        *lpcbData = size;
    }
    return status;
}

namespace {

// Windows counts the longest names in UTF-16 units, and the longest data as it
// stores it; the A functions hand both out in the 8-bit code page (UTF-8 for
// Netvigil), where a character may take more bytes. What a caller sizes its
// buffers from is measured here as the A functions give it.
void MeasureInCodePage(::HKEY hKey, ::DWORD subKeys, ::DWORD values, ::DWORD* maxSubKeyLen,
                       ::DWORD* maxValueNameLen, ::DWORD* maxValueLen) {
    std::string name(16384 * 3 + 1, '\0');
    const auto longestSubkey = [&](::HKEY key, ::DWORD* longest) {
        for (::DWORD i = 0; i < subKeys; ++i) {
            ::DWORD length = static_cast<::DWORD>(name.size());
            if (::RegEnumKeyExA(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                return false;
            }
            *longest = std::max(*longest, length);
        }
        return true;
    };
    // A handle that may not list subkeys: another one to the same key may;
    // else each UTF-16 unit counts as the most bytes it can take, lest a
    // buffer sized from the count be too small.
    ::DWORD longestKey = 0;
    bool keysListed = longestSubkey(hKey, &longestKey);
    ::HKEY lister = nullptr;
    if (!keysListed &&
        ::RegOpenKeyExA(hKey, "", 0, KEY_ENUMERATE_SUB_KEYS, &lister) == ERROR_SUCCESS) {
        longestKey = 0;
        keysListed = longestSubkey(lister, &longestKey);
        ::RegCloseKey(lister);
    }
    *maxSubKeyLen = keysListed ? longestKey : *maxSubKeyLen * 3;
    ::DWORD longestName = 0;
    ::DWORD largest = 0;
    for (::DWORD i = 0; i < values; ++i) {
        ::DWORD length = static_cast<::DWORD>(name.size());
        ::DWORD size = 0;
        if (::RegEnumValueA(hKey, i, name.data(), &length, nullptr, nullptr, nullptr, &size) !=
            ERROR_SUCCESS) {
            return;
        }
        longestName = std::max(longestName, length);
        largest = std::max(largest, size);
    }
    *maxValueNameLen = longestName;
    *maxValueLen = largest;
}

} // namespace

LONG RegQueryInfoKey(HKEY hKey, char* lpClass, DWORD* lpcchClass, DWORD* lpReserved,
                     DWORD* lpcSubKeys, DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen,
                     DWORD* lpcValues, DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen,
                     DWORD* lpcbSecurityDescriptor, FILETIME* lpftLastWriteTime) {
    enum { Class, SubKeys, MaxSubKey, MaxClass, Values, MaxName, MaxValue, Security, Count };
    // Windows' DWORD is another type of the same size: each answer is taken
    // through one of its own.
    ::DWORD out[Count] = {};
    DWORD* const targets[Count] = {
        lpcchClass, lpcSubKeys,          lpcbMaxSubKeyLen, lpcbMaxClassLen,
        lpcValues,  lpcbMaxValueNameLen, lpcbMaxValueLen,  lpcbSecurityDescriptor};
    if (lpcchClass != nullptr) {
        out[Class] = *lpcchClass;
    }
    const ::HKEY key = win32::NativeKey(hKey);
    ::FILETIME written{};
    const LONG status = ::RegQueryInfoKeyA(
        key, lpClass, lpcchClass != nullptr ? &out[Class] : nullptr,
        reinterpret_cast<::DWORD*>(lpReserved), &out[SubKeys], &out[MaxSubKey],
        lpcbMaxClassLen != nullptr ? &out[MaxClass] : nullptr, &out[Values], &out[MaxName],
        &out[MaxValue], lpcbSecurityDescriptor != nullptr ? &out[Security] : nullptr,
        lpftLastWriteTime != nullptr ? &written : nullptr);
    if (status == ERROR_SUCCESS && (lpcbMaxSubKeyLen != nullptr || lpcbMaxValueNameLen != nullptr ||
                                    lpcbMaxValueLen != nullptr)) {
        MeasureInCodePage(key, out[SubKeys], out[Values], &out[MaxSubKey], &out[MaxName],
                          &out[MaxValue]);
    }
    for (int i = 0; i < Count; ++i) {
        if (targets[i] != nullptr) {
            *targets[i] = out[i];
        }
    }
    if (lpftLastWriteTime != nullptr) {
        lpftLastWriteTime->dwLowDateTime = written.dwLowDateTime;
        lpftLastWriteTime->dwHighDateTime = written.dwHighDateTime;
    }
    return status;
}

LONG RegConnectRegistry(const char* lpMachineName, HKEY hKey, HKEY* phkResult) {
    ::HKEY opened = nullptr;
    const LONG status = ::RegConnectRegistryA(lpMachineName, win32::NativeKey(hKey),
                                              phkResult != nullptr ? &opened : nullptr);
    return HandOut(status, opened, phkResult);
}

} // namespace platform
