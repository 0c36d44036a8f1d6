// The registry functions over advapi32's W forms: Windows answers for itself,
// and the names and text that cross are converted between the platform's
// UTF-8 and Windows' UTF-16 here. Sizes and ERROR_MORE_DATA are those the A
// forms give for the text in the program's code page, UTF-8: the value is
// read whole, converted, and measured as the A forms measure it.
// Around each call: the handle count for the tests' leak checks, and, while a
// journal is open, what it takes to undo the change.

#include "platform/handles.h"
#include "platform/win32/api.h"
#include "platform/win32/journal.h"
#include "platform/win32/wide.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform {

namespace {

using win32::Narrow;
using win32::Wide;
using win32::WideArgument;

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

// The types whose data the A forms convert: text, stored as UTF-16.
bool IsText(::DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Data as the A forms hand it out: text in UTF-8 (a last odd byte, half a
// unit, is no character and is left out, as by Windows' own conversion),
// anything else as stored.
std::string InCodePage(::DWORD type, const std::vector<::BYTE>& stored) {
    if (!IsText(type)) {
        return {stored.begin(), stored.end()};
    }
    std::wstring units(stored.size() / 2, L'\0');
    std::memcpy(units.data(), stored.data(), units.size() * sizeof(wchar_t));
    return Narrow(units);
}

// Hands out text that an A form returns: with its NUL into a buffer of room
// characters (bytes here), or ERROR_MORE_DATA.
LONG PutName(const std::string& name, char* out, ::DWORD room) {
    if (name.size() + 1 > room) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(out, name.data(), name.size());
    out[name.size()] = '\0';
    return ERROR_SUCCESS;
}

// Hands out data that an A form returns, by its rules: the size always, the
// data only into a buffer with room for it.
LONG PutData(const std::string& data, BYTE* out, DWORD* size) {
    const DWORD room = *size;
    *size = static_cast<DWORD>(data.size());
    if (out == nullptr) {
        return ERROR_SUCCESS;
    }
    if (room < data.size()) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(out, data.data(), data.size());
    return ERROR_SUCCESS;
}

// The whole of a value as Windows stores it. ERROR_MORE_DATA after the size
// was asked means that the value grew in between: it is read again.
LONG ReadStored(::HKEY hKey, const wchar_t* name, ::DWORD* reserved, ::DWORD* type,
                std::vector<::BYTE>* data) {
    data->clear();
    for (;;) {
        auto size = static_cast<::DWORD>(data->size());
        const LONG status = ::RegQueryValueExW(hKey, name, reserved, type,
                                               data->empty() ? nullptr : data->data(), &size);
        if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && data->empty() && size > 0)) {
            data->resize(size);
            continue;
        }
        if (status == ERROR_SUCCESS) {
            data->resize(size);
        }
        return status;
    }
}

// A key handle of the journal's own, so that an undo does not depend on the
// caller's handles, which are closed long before.
class OwnKey {
public:
    OwnKey(::HKEY hKey, const wchar_t* path) {
        if (::RegOpenKeyExW(hKey, path, 0, KEY_ALL_ACCESS, &m_h) != ERROR_SUCCESS) {
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

// A value as it was, in Windows' own form, so that it comes back byte for byte.
struct SavedValue {
    std::wstring name;
    bool existed = false;
    ::DWORD type = 0;
    std::vector<::BYTE> data;
};

SavedValue ReadValue(::HKEY hKey, const std::wstring& name) {
    SavedValue value;
    value.name = name;
    value.existed =
        ReadStored(hKey, name.c_str(), nullptr, &value.type, &value.data) == ERROR_SUCCESS;
    return value;
}

LONG WriteValue(::HKEY hKey, const SavedValue& value) {
    if (!value.existed) {
        const LONG status = ::RegDeleteValueW(hKey, value.name.c_str());
        return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
    }
    return ::RegSetValueExW(hKey, value.name.c_str(), 0, value.type, value.data.data(),
                            static_cast<::DWORD>(value.data.size()));
}

std::vector<SavedValue> ReadValues(::HKEY hKey) {
    std::vector<SavedValue> values;
    std::wstring name(kMaxValueNameLength + 1, L'\0');
    for (::DWORD i = 0;; ++i) {
        auto length = static_cast<::DWORD>(name.size());
        if (::RegEnumValueW(hKey, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
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
    CreatedKeys(::HKEY parent, std::vector<std::wstring> paths)
        : m_parent(parent, nullptr), m_paths(std::move(paths)) {}
    LONG Undo() override {
        LONG result = ERROR_SUCCESS;
        for (auto path = m_paths.rbegin(); path != m_paths.rend(); ++path) {
            const LONG status = ::RegDeleteKeyW(m_parent.Get(), path->c_str());
            result = result == ERROR_SUCCESS ? status : result;
        }
        return result;
    }

private:
    OwnKey m_parent;
    std::vector<std::wstring> m_paths;
};

class ChangedValue final : public Change {
public:
    ChangedValue(::HKEY hKey, const std::wstring& name) : m_key(hKey, nullptr) {
        m_old = ReadValue(m_key.Get(), name);
    }
    LONG Undo() override { return WriteValue(m_key.Get(), m_old); }

private:
    OwnKey m_key;
    SavedValue m_old;
};

class DeletedKey final : public Change {
public:
    DeletedKey(::HKEY parent, const std::wstring& path) : m_parent(parent, nullptr), m_path(path) {
        const OwnKey key(parent, path.c_str());
        m_values = ReadValues(key.Get());
    }
    LONG Undo() override {
        ::HKEY key = nullptr;
        LONG status = ::RegCreateKeyExW(m_parent.Get(), m_path.c_str(), 0, nullptr, 0,
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
    std::wstring m_path;
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
std::vector<std::wstring> MissingLevels(::HKEY hKey, const std::wstring& path) {
    std::vector<std::wstring> missing;
    for (std::size_t end = 0; end != std::wstring::npos;) {
        end = path.find(L'\\', end + 1);
        const std::wstring level = path.substr(0, end);
        if (level.empty() || level.back() == L'\\') {
            continue;
        }
        ::HKEY h = nullptr;
        if (!missing.empty() ||
            ::RegOpenKeyExW(hKey, level.c_str(), 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) {
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
    const LONG status =
        ::RegOpenKeyExW(win32::NativeKey(hKey), WideArgument(lpSubKey).Get(), ulOptions, samDesired,
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
    const WideArgument subKey(lpSubKey);
    WideArgument keyClass(lpClass);
    std::unique_ptr<Change> change;
    if (Journaling() && lpSubKey != nullptr) {
        if (auto missing = MissingLevels(parent, subKey.Get()); !missing.empty()) {
            change = std::make_unique<CreatedKeys>(parent, std::move(missing));
        }
    }
    ::HKEY opened = nullptr;
    ::DWORD disposition = 0;
    const LONG status =
        ::RegCreateKeyExW(parent, subKey.Get(), Reserved, const_cast<wchar_t*>(keyClass.Get()),
                          dwOptions, samDesired, lpSecurityAttributes != nullptr ? &sa : nullptr,
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
    // "lpcbData can be NULL only if lpData is NULL": refused before the
    // handle is looked at.
    if (lpData != nullptr && lpcbData == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const ::HKEY key = win32::NativeKey(hKey);
    const WideArgument name(lpValueName);
    auto* const reserved = reinterpret_cast<::DWORD*>(lpReserved);
    ::DWORD type = 0;
    if (lpcbData == nullptr) {
        const LONG status = ::RegQueryValueExW(
            key, name.Get(), reserved, lpType != nullptr ? &type : nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS && lpType != nullptr) {
            *lpType = type;
        }
        return status;
    }
    std::vector<::BYTE> stored;
    const LONG status = ReadStored(key, name.Get(), reserved, &type, &stored);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (lpType != nullptr) {
        *lpType = type;
    }
    return PutData(InCodePage(type, stored), lpData, lpcbData);
}

LONG RegSetValueEx(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType,
                   const BYTE* lpData, DWORD cbData) {
    const ::HKEY key = win32::NativeKey(hKey);
    const WideArgument name(lpValueName);
    std::unique_ptr<Change> change;
    if (Journaling()) {
        change = std::make_unique<ChangedValue>(key, name.Get() != nullptr ? name.Get() : L"");
    }
    // Text goes as the A form sends it: cbData bytes of it converted, into a
    // string of its own, which keeps a NUL after its end as any string does.
    // Without data there is nothing to convert, and Windows judges the
    // arguments as they are.
    const BYTE* data = lpData;
    ::DWORD size = cbData;
    std::wstring text;
    if (lpData != nullptr && IsText(dwType)) {
        text = Wide({reinterpret_cast<const char*>(lpData), cbData});
        data = reinterpret_cast<const BYTE*>(text.c_str());
        size = static_cast<::DWORD>(text.size() * sizeof(wchar_t));
    }
    const LONG status = ::RegSetValueExW(key, name.Get(), Reserved, dwType, data, size);
    if (status == ERROR_SUCCESS && change) {
        Note(std::move(change));
    }
    return status;
}

LONG RegDeleteKey(HKEY hKey, const char* lpSubKey) {
    const ::HKEY parent = win32::NativeKey(hKey);
    const WideArgument subKey(lpSubKey);
    std::unique_ptr<Change> change;
    if (Journaling() && lpSubKey != nullptr) {
        change = std::make_unique<DeletedKey>(parent, subKey.Get());
    }
    const LONG status = ::RegDeleteKeyW(parent, subKey.Get());
    if (status == ERROR_SUCCESS && change) {
        Note(std::move(change));
    }
    return status;
}

LONG RegDeleteValue(HKEY hKey, const char* lpValueName) {
    const ::HKEY key = win32::NativeKey(hKey);
    const WideArgument name(lpValueName);
    std::unique_ptr<Change> change;
    if (Journaling()) {
        change = std::make_unique<ChangedValue>(key, name.Get() != nullptr ? name.Get() : L"");
    }
    const LONG status = ::RegDeleteValueW(key, name.Get());
    if (status == ERROR_SUCCESS && change) {
        Note(std::move(change));
    }
    return status;
}

namespace {

// Room for any key name Windows (255 characters) or Wine (256) takes.
constexpr ::DWORD kKeyNameRoom = 512;

} // namespace

LONG RegEnumKey(HKEY hKey, DWORD dwIndex, char* lpName, DWORD cchName) {
    const ::HKEY key = win32::NativeKey(hKey);
    if (lpName == nullptr) {
        return ::RegEnumKeyW(key, dwIndex, nullptr, cchName);
    }
    std::wstring name(kKeyNameRoom, L'\0');
    const LONG status = ::RegEnumKeyW(key, dwIndex, name.data(), kKeyNameRoom);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return PutName(Narrow(name.c_str()), lpName, cchName);
}

LONG RegEnumValue(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName,
                  DWORD* lpReserved, DWORD* lpType, BYTE* lpData, DWORD* lpcbData) {
    if (lpData != nullptr && lpcbData == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const ::HKEY key = win32::NativeKey(hKey);
    std::wstring name(kMaxValueNameLength + 1, L'\0');
    ::DWORD nameLength = 0;
    ::DWORD type = 0;
    std::vector<::BYTE> stored;
    LONG status = ERROR_SUCCESS;
    // The name into a buffer that holds any; the data, when asked for, in
    // a second call once its size is known (again if it grew in between).
    for (;;) {
        nameLength = static_cast<::DWORD>(name.size());
        auto size = static_cast<::DWORD>(stored.size());
        status = ::RegEnumValueW(key, dwIndex, lpValueName != nullptr ? name.data() : nullptr,
                                 lpcchValueName != nullptr ? &nameLength : nullptr,
                                 reinterpret_cast<::DWORD*>(lpReserved), &type,
                                 stored.empty() ? nullptr : stored.data(),
                                 lpcbData != nullptr ? &size : nullptr);
        if ((status == ERROR_MORE_DATA || status == ERROR_SUCCESS) && lpcbData != nullptr &&
            size > stored.size()) {
            stored.resize(size);
            continue;
        }
        if (status == ERROR_SUCCESS) {
            stored.resize(std::min<std::size_t>(size, stored.size()));
        }
        break;
    }
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const std::string utf8 = Narrow({name.data(), nameLength});
    if (const LONG put = PutName(utf8, lpValueName, *lpcchValueName); put != ERROR_SUCCESS) {
        return put;
    }
    *lpcchValueName = static_cast<DWORD>(utf8.size());
    if (lpType != nullptr) {
        *lpType = type;
    }
    return lpcbData != nullptr ? PutData(InCodePage(type, stored), lpData, lpcbData)
                               : ERROR_SUCCESS;
}

namespace {

// Windows counts the longest names in UTF-16 units, and the longest data as it
// stores it; the A forms hand both out in UTF-8, where a character may take
// more bytes. What a caller sizes its buffers from is measured here as the A
// forms give it: names and text converted.
struct Longest {
    ::DWORD subKey = 0;
    ::DWORD keyClass = 0;
    ::DWORD valueName = 0;
    ::DWORD value = 0;
};

// UTF-8 takes at most three bytes for one UTF-16 unit.
constexpr ::DWORD kMostBytesPerUnit = 3;

bool MeasureSubkeys(::HKEY hKey, ::DWORD subKeys, Longest* longest) {
    std::wstring name(kKeyNameRoom, L'\0');
    std::wstring keyClass;
    for (::DWORD i = 0; i < subKeys; ++i) {
        ::DWORD length = kKeyNameRoom;
        ::DWORD classLength = 0;
        if (::RegEnumKeyExW(hKey, i, name.data(), &length, nullptr, nullptr, &classLength,
                            nullptr) != ERROR_SUCCESS) {
            return false;
        }
        longest->subKey =
            std::max(longest->subKey, static_cast<::DWORD>(Narrow({name.data(), length}).size()));
        if (classLength > 0) {
            keyClass.assign(classLength + 1, L'\0');
            length = kKeyNameRoom;
            ++classLength;
            if (::RegEnumKeyExW(hKey, i, name.data(), &length, nullptr, keyClass.data(),
                                &classLength, nullptr) != ERROR_SUCCESS) {
                return false;
            }
            longest->keyClass =
                std::max(longest->keyClass,
                         static_cast<::DWORD>(Narrow({keyClass.data(), classLength}).size()));
        }
    }
    return true;
}

bool MeasureValues(::HKEY hKey, ::DWORD values, Longest* longest) {
    std::wstring name(kMaxValueNameLength + 1, L'\0');
    std::vector<::BYTE> stored;
    for (::DWORD i = 0; i < values; ++i) {
        auto length = static_cast<::DWORD>(name.size());
        ::DWORD type = 0;
        ::DWORD size = 0;
        if (::RegEnumValueW(hKey, i, name.data(), &length, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS) {
            return false;
        }
        const std::wstring valueName(name.data(), length);
        longest->valueName =
            std::max(longest->valueName, static_cast<::DWORD>(Narrow(valueName).size()));
        if (IsText(type) &&
            ReadStored(hKey, valueName.c_str(), nullptr, &type, &stored) == ERROR_SUCCESS) {
            size = static_cast<::DWORD>(InCodePage(type, stored).size());
        }
        longest->value = std::max(longest->value, size);
    }
    return true;
}

// Where the handle may not list what it holds, another handle to the same
// key may; else each unit counts as the most bytes it can take, and text
// data likewise, lest a buffer sized from the count be too small.
void MeasureInCodePage(::HKEY hKey, ::DWORD subKeys, ::DWORD values, Longest* longest) {
    const auto measure = [&](REGSAM rights, bool (*each)(::HKEY, ::DWORD, Longest*),
                             ::DWORD count) {
        Longest found;
        if (each(hKey, count, &found)) {
            return std::optional(found);
        }
        ::HKEY other = nullptr;
        if (::RegOpenKeyExW(hKey, L"", 0, rights, &other) != ERROR_SUCCESS) {
            return std::optional<Longest>();
        }
        found = {};
        const bool measured = each(other, count, &found);
        ::RegCloseKey(other);
        return measured ? std::optional(found) : std::optional<Longest>();
    };
    if (const auto keys = measure(KEY_ENUMERATE_SUB_KEYS, MeasureSubkeys, subKeys)) {
        longest->subKey = keys->subKey;
        longest->keyClass = keys->keyClass;
    } else {
        longest->subKey *= kMostBytesPerUnit;
        longest->keyClass *= kMostBytesPerUnit;
    }
    if (const auto named = measure(KEY_QUERY_VALUE, MeasureValues, values)) {
        longest->valueName = named->valueName;
        longest->value = named->value;
    } else {
        longest->valueName *= kMostBytesPerUnit;
        longest->value = longest->value / 2 * kMostBytesPerUnit + longest->value % 2;
    }
}

} // namespace

LONG RegQueryInfoKey(HKEY hKey, char* lpClass, DWORD* lpcchClass, DWORD* lpReserved,
                     DWORD* lpcSubKeys, DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen,
                     DWORD* lpcValues, DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen,
                     DWORD* lpcbSecurityDescriptor, FILETIME* lpftLastWriteTime) {
    const ::HKEY key = win32::NativeKey(hKey);
    // The class is read whole, into a buffer of its own length, whenever its
    // length is asked: its length in UTF-8 needs its text.
    std::wstring keyClass;
    ::DWORD classLength = 0;
    ::DWORD subKeys = 0;
    ::DWORD values = 0;
    ::DWORD security = 0;
    Longest longest;
    ::FILETIME written{};
    LONG status = ERROR_SUCCESS;
    for (;;) {
        classLength = static_cast<::DWORD>(keyClass.size());
        status = ::RegQueryInfoKeyW(
            key, lpClass != nullptr || lpcchClass != nullptr ? keyClass.data() : nullptr,
            lpcchClass != nullptr ? &classLength : nullptr, reinterpret_cast<::DWORD*>(lpReserved),
            &subKeys, &longest.subKey, &longest.keyClass, &values, &longest.valueName,
            &longest.value, &security, &written);
        const bool classCut =
            status == ERROR_MORE_DATA ||
            (status == ERROR_SUCCESS && classLength > 0 && classLength >= keyClass.size());
        if (lpcchClass != nullptr && classCut) {
            keyClass.assign(classLength + 1, L'\0');
            continue;
        }
        break;
    }
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (lpcbMaxSubKeyLen != nullptr || lpcbMaxClassLen != nullptr ||
        lpcbMaxValueNameLen != nullptr || lpcbMaxValueLen != nullptr) {
        MeasureInCodePage(key, subKeys, values, &longest);
    }
    // Windows' DWORD is another type of the same size: each answer is handed
    // out through one of the platform's own.
    const auto put = [](DWORD* out, ::DWORD value) {
        if (out != nullptr) {
            *out = value;
        }
    };
    if (lpcchClass != nullptr) {
        const std::string utf8 =
            Narrow({keyClass.data(), std::min<std::size_t>(classLength, keyClass.size())});
        // A buffer of no room is only asked the length.
        if (lpClass != nullptr && *lpcchClass > 0) {
            status = PutName(utf8, lpClass, *lpcchClass);
        }
        *lpcchClass = static_cast<DWORD>(utf8.size());
    }
    put(lpcSubKeys, subKeys);
    put(lpcbMaxSubKeyLen, longest.subKey);
    put(lpcbMaxClassLen, longest.keyClass);
    put(lpcValues, values);
    put(lpcbMaxValueNameLen, longest.valueName);
    put(lpcbMaxValueLen, longest.value);
    put(lpcbSecurityDescriptor, security);
    if (lpftLastWriteTime != nullptr) {
        lpftLastWriteTime->dwLowDateTime = written.dwLowDateTime;
        lpftLastWriteTime->dwHighDateTime = written.dwHighDateTime;
    }
    return status;
}

LONG RegConnectRegistry(const char* lpMachineName, HKEY hKey, HKEY* phkResult) {
    ::HKEY opened = nullptr;
    const LONG status =
        ::RegConnectRegistryW(WideArgument(lpMachineName).Get(), win32::NativeKey(hKey),
                              phkResult != nullptr ? &opened : nullptr);
    return HandOut(status, opened, phkResult);
}

} // namespace platform
