#include "platform/sqlite/registry_store.h"

#include "platform/handles.h"
#include "platform/registry.h"
#include "platform/sqlite/registry_store_internals.h"

#include <algorithm>
#include <cstring>
#include <sqlite3.h>

namespace platform::sqlite {

LONG RegistryStore::OpenKeyEx(HKEY hKey, const char* lpSubKey, REGSAM samDesired, HKEY* phkResult) {
    if (phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    OpenKey key{};
    const LONG status = Locate(hKey, lpSubKey, &key);
    if (status == ERROR_SUCCESS) {
        // A root asked for itself is handed back as it is, as Windows does.
        const bool itself = IsRoot(hKey) && (lpSubKey == nullptr || *lpSubKey == '\0');
        *phkResult = itself ? hKey : NewHandle(key, samDesired);
    }
    return status;
}

LONG RegistryStore::CreateKeyEx(HKEY hKey, const char* lpSubKey, REGSAM samDesired, HKEY* phkResult,
                                DWORD* lpdwDisposition) {
    if (phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    OpenKey parent{};
    LONG status = Resolve(hKey, 0, &parent);
    OpenKey key = parent;
    bool created = false;
    if (status == ERROR_SUCCESS) {
        // Most calls find the key already there and need no write lock.
        status = Walk(&key, lpSubKey, false, nullptr);
    }
    if (status == ERROR_FILE_NOT_FOUND) {
        if ((parent.access & KEY_CREATE_SUB_KEY) == 0 || !Writable(parent)) {
            return ERROR_ACCESS_DENIED;
        }
        WriteScope write(*this);
        status = write.Status();
        if (status == ERROR_SUCCESS) {
            status = Resolve(hKey, 0, &key);
        }
        if (status == ERROR_SUCCESS) {
            status = Walk(&key, lpSubKey, true, &created);
        }
        if (status == ERROR_SUCCESS) {
            status = write.Commit();
        }
    }
    if (status != ERROR_SUCCESS) {
        return status;
    }
    *phkResult = NewHandle(key, samDesired);
    if (lpdwDisposition != nullptr) {
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    return ERROR_SUCCESS;
}

LONG RegistryStore::CloseKey(HKEY hKey) {
    if (IsRoot(hKey)) {
        return ERROR_SUCCESS;
    }
    if (m_handles.erase(hKey) == 0) {
        return ERROR_INVALID_HANDLE;
    }
    detail::HandleClosed();
    return ERROR_SUCCESS;
}

LONG RegistryStore::QueryValueEx(HKEY hKey, const char* lpValueName, DWORD* lpType, BYTE* lpData,
                                 DWORD* lpcbData) {
    // Windows looks at the arguments before the handle.
    if (lpData != nullptr && lpcbData == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    OpenKey key{};
    if (const LONG status = Resolve(hKey, KEY_QUERY_VALUE, &key); status != ERROR_SUCCESS) {
        return status;
    }
    Statement query(*this, "SELECT type, data FROM vals WHERE key = ? AND fold = ?");
    const int rc =
        query.Bind(1, key.id).Bind(2, Fold(lpValueName == nullptr ? "" : lpValueName)).Step();
    if (rc != SQLITE_ROW) {
        return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : Error(rc);
    }
    const std::string_view data = query.Bytes(1);
    if (lpType != nullptr) {
        *lpType = static_cast<DWORD>(query.Int(0));
    }
    if (lpcbData == nullptr) {
        return ERROR_SUCCESS;
    }
    const DWORD size = static_cast<DWORD>(data.size());
    const DWORD room = *lpcbData;
    *lpcbData = size;
    if (lpData == nullptr) {
        return ERROR_SUCCESS;
    }
    if (room < size) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(lpData, data.data(), data.size());
    return ERROR_SUCCESS;
}

LONG RegistryStore::SetValueEx(HKEY hKey, const char* lpValueName, DWORD dwType, const BYTE* lpData,
                               DWORD cbData) {
    const std::string_view name = lpValueName == nullptr ? "" : lpValueName;
    if ((lpData == nullptr && cbData != 0) || name.size() > kMaxValueNameLength) {
        return ERROR_INVALID_PARAMETER;
    }
    OpenKey key{};
    LONG status = Resolve(hKey, KEY_SET_VALUE, &key);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (!Writable(key)) {
        return ERROR_ACCESS_DENIED;
    }
    WriteScope write(*this);
    if (write.Status() != ERROR_SUCCESS) {
        return write.Status();
    }
    // The first spelling of a name is the one kept, as Windows does.
    Statement upsert(*this, "INSERT INTO vals(key, name, fold, type, data) VALUES (?, ?, ?, ?, ?)"
                            " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type,"
                            " data = excluded.data");
    status = Error(upsert.Bind(1, key.id)
                       .Bind(2, name)
                       .Bind(3, Fold(name))
                       .Bind(4, static_cast<std::int64_t>(dwType))
                       .Bind(5, lpData, cbData)
                       .Step());
    if (status == ERROR_SUCCESS) {
        status = Touch(key.id);
    }
    return status == ERROR_SUCCESS ? write.Commit() : status;
}

LONG RegistryStore::DeleteKey(HKEY hKey, const char* lpSubKey) {
    if (lpSubKey == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    OpenKey key{};
    LONG status = Locate(hKey, lpSubKey, &key);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const std::int64_t id = key.id;
    if (id < kFirstRootId + kRootCount || !Writable(key)) {
        return ERROR_ACCESS_DENIED;
    }
    WriteScope write(*this);
    if (write.Status() != ERROR_SUCCESS) {
        return write.Status();
    }
    Statement children(*this, "SELECT count(*) FROM keys WHERE parent = ?");
    if (children.Bind(1, id).Step() != SQLITE_ROW) {
        return ERROR_REGISTRY_IO_FAILED;
    }
    if (children.Int(0) != 0) {
        return ERROR_ACCESS_DENIED;
    }
    Statement owner(*this, "SELECT parent FROM keys WHERE id = ?");
    if (owner.Bind(1, id).Step() != SQLITE_ROW) {
        return ERROR_FILE_NOT_FOUND;
    }
    const std::int64_t parentId = owner.Int(0);
    Statement erase(*this, "DELETE FROM keys WHERE id = ?");
    status = Error(erase.Bind(1, id).Step());
    if (status == ERROR_SUCCESS) {
        status = Touch(parentId);
    }
    if (status == ERROR_SUCCESS) {
        status = write.Commit();
    }
    // The key's number may go to the next key made, even by the same name:
    // this process's handles to it reach nothing from now on, as on Windows.
    if (status == ERROR_SUCCESS) {
        for (auto& [handle, opened] : m_handles) {
            if (opened.key.id == id) {
                opened.key.id = 0;
            }
        }
    }
    return status;
}

LONG RegistryStore::DeleteValue(HKEY hKey, const char* lpValueName) {
    OpenKey key{};
    LONG status = Resolve(hKey, KEY_SET_VALUE, &key);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (!Writable(key)) {
        return ERROR_ACCESS_DENIED;
    }
    const std::string fold = Fold(lpValueName == nullptr ? "" : lpValueName);
    Statement find(*this, "SELECT 1 FROM vals WHERE key = ? AND fold = ?");
    const int rc = find.Bind(1, key.id).Bind(2, fold).Step();
    if (rc != SQLITE_ROW) {
        return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : Error(rc);
    }
    WriteScope write(*this);
    if (write.Status() != ERROR_SUCCESS) {
        return write.Status();
    }
    Statement erase(*this, "DELETE FROM vals WHERE key = ? AND fold = ?");
    status = Error(erase.Bind(1, key.id).Bind(2, fold).Step());
    if (status == ERROR_SUCCESS && sqlite3_changes(m_db) == 0) {
        status = ERROR_FILE_NOT_FOUND;
    }
    if (status == ERROR_SUCCESS) {
        status = Touch(key.id);
    }
    return status == ERROR_SUCCESS ? write.Commit() : status;
}

LONG RegistryStore::EnumKey(HKEY hKey, DWORD dwIndex, char* lpName, DWORD cchName) {
    OpenKey key{};
    if (const LONG status = Resolve(hKey, KEY_ENUMERATE_SUB_KEYS, &key); status != ERROR_SUCCESS) {
        return status;
    }
    // Listing every subkey by index costs a walk to each index; going on from
    // the last one returned, while the key is unchanged, keeps it linear.
    Cursor* cursor = CursorOf(hKey, &Handle::subkeys);
    const bool next =
        cursor != nullptr && cursor->version == key.version && dwIndex == cursor->index + 1;
    Statement after(*this, "SELECT name, fold FROM keys WHERE parent = ? AND fold > ?"
                           " ORDER BY fold LIMIT 1");
    Statement at(*this,
                 "SELECT name, fold FROM keys WHERE parent = ? ORDER BY fold LIMIT 1 OFFSET ?");
    Statement& list = next ? after.Bind(1, key.id).Bind(2, cursor->fold)
                           : at.Bind(1, key.id).Bind(2, static_cast<std::int64_t>(dwIndex));
    const int rc = list.Step();
    if (rc != SQLITE_ROW) {
        return rc == SQLITE_DONE ? ERROR_NO_MORE_ITEMS : Error(rc);
    }
    if (cursor != nullptr) {
        cursor->version = key.version;
        cursor->index = dwIndex;
        cursor->fold = list.Bytes(1);
    }
    if (lpName == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::string_view name = list.Bytes(0);
    // Only a file changed behind our back holds such a name; handed out, it
    // would read as a shorter one, the name of some other key.
    if (HoldsNul(name)) {
        return ERROR_REGISTRY_CORRUPT;
    }
    if (name.size() + 1 > cchName) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(lpName, name.data(), name.size());
    lpName[name.size()] = '\0';
    return ERROR_SUCCESS;
}

LONG RegistryStore::EnumValue(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName,
                              DWORD* lpType, BYTE* lpData, DWORD* lpcbData) {
    OpenKey key{};
    if (const LONG status = Resolve(hKey, KEY_QUERY_VALUE, &key); status != ERROR_SUCCESS) {
        return status;
    }
    Cursor* cursor = CursorOf(hKey, &Handle::values);
    const bool next =
        cursor != nullptr && cursor->version == key.version && dwIndex == cursor->index + 1;
    Statement after(*this, "SELECT name, type, data, id FROM vals WHERE key = ? AND id > ?"
                           " ORDER BY id LIMIT 1");
    Statement at(*this, "SELECT name, type, data, id FROM vals WHERE key = ?"
                        " ORDER BY id LIMIT 1 OFFSET ?");
    Statement& list = next ? after.Bind(1, key.id).Bind(2, cursor->valueId)
                           : at.Bind(1, key.id).Bind(2, static_cast<std::int64_t>(dwIndex));
    const int rc = list.Step();
    if (rc != SQLITE_ROW) {
        return rc == SQLITE_DONE ? ERROR_NO_MORE_ITEMS : Error(rc);
    }
    if (cursor != nullptr) {
        cursor->version = key.version;
        cursor->index = dwIndex;
        cursor->valueId = list.Int(3);
    }
    if (lpValueName == nullptr || lpcchValueName == nullptr ||
        (lpData != nullptr && lpcbData == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::string_view name = list.Bytes(0);
    if (HoldsNul(name)) {
        return ERROR_REGISTRY_CORRUPT;
    }
    if (name.size() + 1 > *lpcchValueName) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(lpValueName, name.data(), name.size());
    lpValueName[name.size()] = '\0';
    *lpcchValueName = static_cast<DWORD>(name.size());
    if (lpType != nullptr) {
        *lpType = static_cast<DWORD>(list.Int(1));
    }
    if (lpcbData != nullptr) {
        const std::string_view data = list.Bytes(2);
        const DWORD room = *lpcbData;
        *lpcbData = static_cast<DWORD>(data.size());
        if (lpData != nullptr) {
            if (room < data.size()) {
                return ERROR_MORE_DATA;
            }
            std::memcpy(lpData, data.data(), data.size());
        }
    }
    return ERROR_SUCCESS;
}

LONG RegistryStore::QueryInfoKey(HKEY hKey, KeyInfo* info) {
    OpenKey key{};
    if (const LONG status = Resolve(hKey, KEY_QUERY_VALUE, &key); status != ERROR_SUCCESS) {
        return status;
    }
    Statement keys(*this, "SELECT count(*), coalesce(max(length(name)), 0),"
                          " (SELECT written FROM keys WHERE id = ?1)"
                          " FROM keys WHERE parent = ?1");
    Statement vals(*this, "SELECT count(*), coalesce(max(length(name)), 0),"
                          " coalesce(max(length(data)), 0) FROM vals WHERE key = ?");
    if (keys.Bind(1, key.id).Step() != SQLITE_ROW || vals.Bind(1, key.id).Step() != SQLITE_ROW) {
        return ERROR_REGISTRY_IO_FAILED;
    }
    info->subKeys = static_cast<DWORD>(keys.Int(0));
    info->maxSubKeyLen = static_cast<DWORD>(keys.Int(1));
    const auto written = static_cast<std::uint64_t>(keys.Int(2));
    info->lastWrite = {static_cast<DWORD>(written & 0xFFFFFFFFu),
                       static_cast<DWORD>(written >> 32)};
    info->values = static_cast<DWORD>(vals.Int(0));
    info->maxValueNameLen = static_cast<DWORD>(vals.Int(1));
    info->maxValueLen = static_cast<DWORD>(vals.Int(2));
    return ERROR_SUCCESS;
}

LONG RegistryStore::ConnectRoot(HKEY hKey, HKEY* phkResult) {
    if (phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (m_lStatus != ERROR_SUCCESS) {
        return m_lStatus;
    }
    if (!IsRoot(hKey)) {
        return ERROR_INVALID_HANDLE;
    }
    *phkResult =
        NewHandle({RootId(hKey), KEY_ALL_ACCESS, RootId(hKey), 0, 0, 0, {}}, KEY_ALL_ACCESS);
    return ERROR_SUCCESS;
}

} // namespace platform::sqlite
