#pragma once

// What the parts of the store share: the roots' numbers, the folding of
// names, and the statements and write scopes they run.

#include "platform/sqlite/registry_store.h"

#include <cstdint>
#include <sqlite3.h>
#include <string>
#include <string_view>

namespace platform::sqlite {

constexpr std::int64_t kFirstRootId = 1;
constexpr std::int64_t kRootCount = 4;

inline bool IsRoot(HKEY hKey) {
    return hKey >= HKEY_CLASSES_ROOT && hKey <= HKEY_USERS;
}

inline std::int64_t RootId(HKEY hKey) {
    return kFirstRootId + (hKey - HKEY_CLASSES_ROOT);
}

// Windows compares registry names by their upper-case forms; so do we, over the
// whole of Unicode where the C library knows the mapping. Bytes that are not
// UTF-8 are kept as they are.
std::string Fold(std::string_view s);

class RegistryStore::Statement {
public:
    Statement(RegistryStore& store, const char* sql) : m_stmt(store.Prepare(sql)) {}
    ~Statement() {
        if (m_stmt != nullptr) {
            sqlite3_reset(m_stmt);
            sqlite3_clear_bindings(m_stmt);
        }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, std::int64_t value) {
        if (m_stmt != nullptr) {
            sqlite3_bind_int64(m_stmt, index, value);
        }
        return *this;
    }
    Statement& Bind(int index, std::string_view bytes) {
        return Bind(index, bytes.data(), bytes.size());
    }
    Statement& Bind(int index, const void* data, std::size_t size) {
        if (m_stmt != nullptr) {
            // A zero-length blob, not NULL: an empty name or value is a value.
            sqlite3_bind_blob64(m_stmt, index, size == 0 ? "" : data, size, SQLITE_TRANSIENT);
        }
        return *this;
    }
    int Step() { return m_stmt == nullptr ? SQLITE_ERROR : sqlite3_step(m_stmt); }
    std::int64_t Int(int column) { return sqlite3_column_int64(m_stmt, column); }
    // Never a null pointer, even for an empty blob, so it can be copied from.
    std::string_view Bytes(int column) {
        const void* data = sqlite3_column_blob(m_stmt, column);
        const auto size = static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column));
        return data == nullptr ? std::string_view("", 0)
                               : std::string_view(static_cast<const char*>(data), size);
    }

private:
    sqlite3_stmt* m_stmt;
};

// One write: a transaction of its own, or a savepoint inside the caller's.
class RegistryStore::WriteScope {
public:
    explicit WriteScope(RegistryStore& store)
        : m_store(store), m_lStatus(store.TakeWrite() ? store.Begin() : ERROR_DISK_FULL) {}
    ~WriteScope() {
        if (!m_bDone && m_lStatus == ERROR_SUCCESS) {
            m_store.Rollback();
        }
    }
    WriteScope(const WriteScope&) = delete;
    WriteScope& operator=(const WriteScope&) = delete;

    LONG Status() const { return m_lStatus; }
    LONG Commit() {
        m_bDone = true;
        return m_store.End();
    }

private:
    RegistryStore& m_store;
    LONG m_lStatus;
    bool m_bDone = false;
};

} // namespace platform::sqlite
