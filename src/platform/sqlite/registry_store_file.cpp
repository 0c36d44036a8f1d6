// The store's file: opening it, its schema and its integrity, statements,
// and transactions.

#include "platform/registry.h"
#include "platform/sqlite/registry_store_internals.h"

#include <algorithm>
#include <sqlite3.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform::sqlite {

namespace {

// "NVRG": marks a database as a registry store of ours, so that a stray SQLite
// file named by mistake is refused rather than filled with our tables.
constexpr int kApplicationId = 0x4E565247;
constexpr int kSchemaVersion = 1;

constexpr const char* kSchema = R"sql(
CREATE TABLE keys(
    id INTEGER PRIMARY KEY,
    parent INTEGER REFERENCES keys(id),
    name BLOB NOT NULL,
    fold BLOB NOT NULL,
    written INTEGER NOT NULL DEFAULT 0);
CREATE UNIQUE INDEX keys_by_name ON keys(parent, fold);
CREATE TABLE vals(
    id INTEGER PRIMARY KEY,
    key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,
    name BLOB NOT NULL,
    fold BLOB NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL);
CREATE UNIQUE INDEX vals_by_name ON vals(key, fold);
INSERT INTO keys(id, parent, name, fold) VALUES
    (1, NULL, 'HKEY_CLASSES_ROOT', 'HKEY_CLASSES_ROOT'),
    (2, NULL, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER'),
    (3, NULL, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE'),
    (4, NULL, 'HKEY_USERS', 'HKEY_USERS');
PRAGMA application_id = 1314280007;
PRAGMA user_version = 1;
)sql";
static_assert(kApplicationId == 1314280007);

std::string ParentDirectory(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

RegistryStore::RegistryStore(const std::string& path) : m_sPath(path) {
    Open();
}

RegistryStore::~RegistryStore() {
    for (auto& [sql, stmt] : m_statements) {
        sqlite3_finalize(stmt);
    }
    if (m_db != nullptr) {
        sqlite3_close_v2(m_db);
    }
}

void RegistryStore::Fail(LONG code, std::string problem) {
    m_lStatus = code;
    m_sProblem = std::move(problem);
    for (auto& [sql, stmt] : m_statements) {
        sqlite3_finalize(stmt);
    }
    m_statements.clear();
    if (m_db != nullptr) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

void RegistryStore::Open() {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
    if (m_sPath != ":memory:") {
        const std::string dir = ParentDirectory(m_sPath);
        struct stat st {};
        if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            Fail(ERROR_PATH_NOT_FOUND, "the folder " + dir + " does not exist");
            return;
        }
        const bool dirWritable = ::access(dir.c_str(), W_OK) == 0;
        if (::stat(m_sPath.c_str(), &st) == 0) {
            if (!S_ISREG(st.st_mode)) {
                Fail(ERROR_BADDB, "it is not a regular file");
                return;
            }
            // A store whose write bits are all cleared was made read-only on
            // purpose: honour that even for root, who could write it anyway.
            m_bReadOnly = !dirWritable || ::access(m_sPath.c_str(), W_OK) != 0 ||
                          (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
        } else if (!dirWritable) {
            Fail(ERROR_ACCESS_DENIED, "the folder " + dir + " is not writable");
            return;
        }
        if (m_bReadOnly) {
            flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX;
            m_sProblem = "the store is read-only";
        }
    }
    const int rc = sqlite3_open_v2(m_sPath.c_str(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        Fail(Error(rc), m_db != nullptr ? sqlite3_errmsg(m_db) : "it cannot be opened");
        return;
    }
    sqlite3_busy_timeout(m_db, 10000);
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_exec(m_db, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
    LONG status = Initialise();
    if (status == ERROR_SUCCESS && !m_bCreated) {
        status = CheckIntact();
    }
    if (status != ERROR_SUCCESS && m_db != nullptr) {
        Fail(status, m_sProblem);
    }
}

// A store of ours whose tables are gone, or whose pages are damaged, must not
// be written: a write would build on what is broken and bury what is left.
// integrity_check, unlike quick_check, also finds an index that no longer
// matches its table, which is what one damaged byte in a row most often
// gives; on a settings store it costs well under a millisecond.
LONG RegistryStore::CheckIntact() {
    Statement tables(*this, "SELECT"
                            " (SELECT count(*) FROM pragma_table_info('keys')"
                            "   WHERE name IN ('id', 'parent', 'name', 'fold', 'written')),"
                            " (SELECT count(*) FROM pragma_table_info('vals')"
                            "   WHERE name IN ('id', 'key', 'name', 'fold', 'type', 'data')),"
                            " (SELECT count(*) FROM sqlite_master WHERE type = 'index'"
                            "   AND name IN ('keys_by_name', 'vals_by_name'))");
    int rc = tables.Step();
    if (rc != SQLITE_ROW) {
        return Damaged(rc);
    }
    if (tables.Int(0) != 5 || tables.Int(1) != 6 || tables.Int(2) != 2) {
        m_sProblem = "it is damaged (its tables are missing or incomplete)";
        return ERROR_REGISTRY_CORRUPT;
    }
    Statement roots(*this, "SELECT count(*) FROM keys WHERE id BETWEEN 1 AND 4 AND parent IS NULL");
    rc = roots.Step();
    if (rc != SQLITE_ROW) {
        return Damaged(rc);
    }
    if (roots.Int(0) != kRootCount) {
        m_sProblem = "it is damaged (its root keys are missing)";
        return ERROR_REGISTRY_CORRUPT;
    }
    if (m_bReadOnly) {
        return ERROR_SUCCESS;
    }
    Statement check(*this, "PRAGMA integrity_check(1)");
    rc = check.Step();
    if (rc != SQLITE_ROW) {
        return Damaged(rc);
    }
    std::string verdict(check.Bytes(0));
    if (verdict != "ok") {
        // One finding, on one line, without SQLite's heading.
        constexpr std::string_view kHeading = "*** in database main ***\n";
        if (verdict.starts_with(kHeading)) {
            verdict.erase(0, kHeading.size());
        }
        std::replace(verdict.begin(), verdict.end(), '\n', ' ');
        m_sProblem = "it is damaged (" + verdict + ")";
        return ERROR_REGISTRY_CORRUPT;
    }
    return ERROR_SUCCESS;
}

LONG RegistryStore::Damaged(int sqliteCode) {
    m_sProblem = "it is damaged (" + std::string(sqlite3_errstr(sqliteCode)) + ")";
    return (sqliteCode & 0xFF) == SQLITE_CORRUPT ? ERROR_REGISTRY_CORRUPT : Error(sqliteCode);
}

LONG RegistryStore::Initialise() {
    auto header = [this](std::int64_t* appId, std::int64_t* version, std::int64_t* objects) -> int {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(m_db,
                                    "SELECT (SELECT application_id FROM pragma_application_id),"
                                    " (SELECT user_version FROM pragma_user_version),"
                                    " (SELECT count(*) FROM sqlite_master)",
                                    -1, &stmt, nullptr);
        if (rc == SQLITE_OK) {
            rc = sqlite3_step(stmt);
            if (rc == SQLITE_ROW) {
                *appId = sqlite3_column_int64(stmt, 0);
                *version = sqlite3_column_int64(stmt, 1);
                *objects = sqlite3_column_int64(stmt, 2);
                rc = SQLITE_OK;
            }
        }
        sqlite3_finalize(stmt);
        return rc;
    };
    std::int64_t appId = 0;
    std::int64_t version = 0;
    std::int64_t objects = 0;
    int rc = header(&appId, &version, &objects);
    if (rc != SQLITE_OK) {
        if ((rc & 0xFF) == SQLITE_NOTADB) {
            m_sProblem = "it is not a registry store (not a database)";
            return ERROR_BADDB;
        }
        if ((rc & 0xFF) == SQLITE_CORRUPT) {
            return Damaged(rc);
        }
        m_sProblem = sqlite3_errmsg(m_db);
        return Error(rc);
    }
    if (appId == kApplicationId) {
        if (version > kSchemaVersion) {
            m_sProblem = "it was written by a newer version of Netvigil";
            return ERROR_BADDB;
        }
        return ERROR_SUCCESS;
    }
    if (appId != 0 || objects != 0) {
        m_sProblem = "it is a database, but not a Netvigil registry store";
        return ERROR_BADDB;
    }
    if (m_bReadOnly) {
        m_sProblem = "it is empty and read-only";
        return ERROR_ACCESS_DENIED;
    }
    rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        // Another process may have made the store while we waited for the lock.
        rc = header(&appId, &version, &objects);
        if (rc == SQLITE_OK && appId == 0 && objects == 0) {
            rc = sqlite3_exec(m_db, kSchema, nullptr, nullptr, nullptr);
            m_bCreated = rc == SQLITE_OK;
        }
        rc = sqlite3_exec(m_db, rc == SQLITE_OK ? "COMMIT" : "ROLLBACK", nullptr, nullptr,
                          nullptr) == SQLITE_OK
                 ? rc
                 : SQLITE_ERROR;
    }
    if (rc != SQLITE_OK) {
        m_bCreated = false;
        m_sProblem = sqlite3_errmsg(m_db);
        return Error(rc);
    }
    return ERROR_SUCCESS;
}

sqlite3_stmt* RegistryStore::Prepare(const char* sql) {
    if (m_db == nullptr) {
        return nullptr;
    }
    if (auto it = m_statements.find(sql); it != m_statements.end()) {
        return it->second;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return nullptr;
    }
    m_statements.emplace(sql, stmt);
    return stmt;
}

LONG RegistryStore::Error(int sqliteCode) {
    switch (sqliteCode & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return ERROR_SUCCESS;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return ERROR_ACCESS_DENIED;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ERROR_BUSY;
    case SQLITE_FULL:
        return ERROR_DISK_FULL;
    case SQLITE_NOMEM:
        return ERROR_OUTOFMEMORY;
    case SQLITE_TOOBIG:
        return ERROR_INVALID_PARAMETER;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return ERROR_REGISTRY_CORRUPT;
    case SQLITE_CONSTRAINT:
        // A key reference fails when the key went away under us; any other
        // rule of the store fails only where its file is damaged.
        return sqliteCode == SQLITE_CONSTRAINT_FOREIGNKEY ? ERROR_KEY_DELETED
                                                          : ERROR_REGISTRY_CORRUPT;
    default:
        return ERROR_REGISTRY_IO_FAILED;
    }
}

LONG RegistryStore::Begin() {
    if (m_lStatus == ERROR_SUCCESS && m_bReadOnly) {
        return ERROR_ACCESS_DENIED;
    }
    return Begin("BEGIN IMMEDIATE");
}

LONG RegistryStore::BeginRead() {
    return Begin("BEGIN DEFERRED");
}

LONG RegistryStore::Begin(const char* outermost) {
    if (m_lStatus != ERROR_SUCCESS) {
        return m_lStatus;
    }
    const int rc = sqlite3_exec(m_db, m_iDepth == 0 ? outermost : "SAVEPOINT nested", nullptr,
                                nullptr, nullptr);
    if (rc != SQLITE_OK) {
        return Error(rc);
    }
    ++m_iDepth;
    return ERROR_SUCCESS;
}

LONG RegistryStore::Commit() {
    // Writing a whole transaction out takes room of its own.
    if (m_iDepth == 1 && !TakeWrite()) {
        Rollback();
        return ERROR_DISK_FULL;
    }
    return End();
}

LONG RegistryStore::End() {
    if (m_iDepth == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    --m_iDepth;
    const int rc =
        sqlite3_exec(m_db, m_iDepth == 0 ? "COMMIT" : "RELEASE nested", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        if (m_iDepth == 0) {
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        return Error(rc);
    }
    return ERROR_SUCCESS;
}

void RegistryStore::Rollback() {
    if (m_iDepth == 0) {
        return;
    }
    --m_iDepth;
    sqlite3_exec(m_db, m_iDepth == 0 ? "ROLLBACK" : "ROLLBACK TO nested; RELEASE nested", nullptr,
                 nullptr, nullptr);
}

} // namespace platform::sqlite
