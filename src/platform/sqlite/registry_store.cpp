#include "platform/sqlite/registry_store.h"

#include "platform/handles.h"
#include "platform/registry.h"
#include "platform/utf8.h"

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstring>
#include <cwctype>
#include <locale.h> // NOLINT(modernize-deprecated-headers): POSIX newlocale, not C
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform::sqlite {

namespace {

// "NVRG": marks a database as a registry store of ours, so that a stray SQLite
// file named by mistake is refused rather than filled with our tables.
constexpr int kApplicationId = 0x4E565247;
constexpr int kSchemaVersion = 1;
constexpr std::int64_t kFirstRootId = 1;
constexpr std::int64_t kRootCount = 4;

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

// Windows compares registry names by their upper-case forms; so do we, over the
// whole of Unicode where the C library knows the mapping. Bytes that are not
// UTF-8 are kept as they are.
std::string Fold(std::string_view s) {
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t start = i;
        char32_t cp = 0;
        if (!NextCodePoint(s, &i, &cp)) {
            out += s[start];
            continue;
        }
        char32_t up =
            cp < 0x80 ? static_cast<char32_t>(cp >= 'a' && cp <= 'z' ? cp - 'a' + 'A' : cp)
            : utf8 != locale_t{} ? static_cast<char32_t>(towupper_l(static_cast<wint_t>(cp), utf8))
                                 : cp;
        // Keep the byte length, so that a name's folded form never outgrows the
        // limits its original form was checked against.
        const std::size_t before = out.size();
        AppendUtf8(out, up);
        if (out.size() - before != i - start) {
            out.resize(before);
            out.append(s.substr(start, i - start));
        }
    }
    return out;
}

std::int64_t FileTimeNow() {
    using namespace std::chrono;
    // FILETIME counts 100 ns ticks from 1601-01-01.
    constexpr std::int64_t kEpochDifference = 116444736000000000LL;
    const auto ticks = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
    return ticks / 100 + kEpochDifference;
}

bool IsRoot(HKEY hKey) {
    return hKey >= HKEY_CLASSES_ROOT && hKey <= HKEY_USERS;
}

std::int64_t RootId(HKEY hKey) {
    return kFirstRootId + (hKey - HKEY_CLASSES_ROOT);
}

REGSAM EffectiveAccess(REGSAM sam) {
    if ((sam & (MAXIMUM_ALLOWED | GENERIC_ALL)) != 0) {
        sam |= KEY_ALL_ACCESS;
    }
    if ((sam & GENERIC_READ) != 0) {
        sam |= KEY_READ;
    }
    if ((sam & GENERIC_WRITE) != 0) {
        sam |= KEY_WRITE;
    }
    return sam;
}

std::string ParentDirectory(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

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

LONG RegistryStore::Resolve(HKEY hKey, REGSAM needed, OpenKey* key) {
    if (m_lStatus != ERROR_SUCCESS) {
        return m_lStatus;
    }
    if (IsRoot(hKey)) {
        *key = {RootId(hKey), KEY_ALL_ACCESS, RootId(hKey), 0, 0, 0, {}};
        return ERROR_SUCCESS;
    }
    const auto it = m_handles.find(hKey);
    if (it == m_handles.end()) {
        return ERROR_INVALID_HANDLE;
    }
    OpenKey& open = it->second.key;
    // As on Windows, a handle's rights count before what became of its key.
    if ((needed & ~open.access) != 0) {
        return ERROR_ACCESS_DENIED;
    }
    Statement exists(*this, "SELECT written, parent, fold FROM keys WHERE id = ?");
    const int rc = exists.Bind(1, open.id).Step();
    if (rc != SQLITE_ROW) {
        return rc == SQLITE_DONE ? ERROR_KEY_DELETED : Error(rc);
    }
    // Deleted by another process, its number now another key's.
    if (open.id >= kFirstRootId + kRootCount &&
        (exists.Int(1) != open.parent || exists.Bytes(2) != open.fold)) {
        return ERROR_KEY_DELETED;
    }
    open.version = exists.Int(0);
    *key = open;
    return ERROR_SUCCESS;
}

LONG RegistryStore::Child(std::int64_t parent, const std::string& fold, std::int64_t* id) {
    Statement find(*this, "SELECT id FROM keys WHERE parent = ? AND fold = ?");
    const int rc = find.Bind(1, parent).Bind(2, fold).Step();
    if (rc == SQLITE_ROW) {
        *id = find.Int(0);
        return ERROR_SUCCESS;
    }
    return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : Error(rc);
}

LONG RegistryStore::Touch(std::int64_t id) {
    // Strictly increasing, even within one tick of the clock: an enumeration
    // under way knows by it that the key's subkeys or values have changed.
    Statement touch(*this, "UPDATE keys SET written = max(?, written + 1) WHERE id = ?");
    return Error(touch.Bind(1, FileTimeNow()).Bind(2, id).Step());
}

LONG RegistryStore::Walk(OpenKey* key, const char* lpSubKey, bool create, bool* created) {
    if (created != nullptr) {
        *created = false;
    }
    std::string_view rest = lpSubKey == nullptr ? std::string_view{} : lpSubKey;
    // One trailing separator is tolerated; an empty level anywhere else is not.
    if (!rest.empty() && rest.back() == '\\') {
        rest.remove_suffix(1);
        if (rest.empty()) {
            return ERROR_BAD_PATHNAME;
        }
    }
    while (!rest.empty()) {
        const auto sep = rest.find('\\');
        const std::string_view name = rest.substr(0, sep);
        rest = sep == std::string_view::npos ? std::string_view{} : rest.substr(sep + 1);
        if (name.empty() || (sep != std::string_view::npos && rest.empty())) {
            return ERROR_BAD_PATHNAME;
        }
        if (name.size() > kMaxKeyNameLength) {
            return ERROR_INVALID_PARAMETER;
        }
        const std::string fold = Fold(name);
        std::int64_t child = 0;
        LONG status = Child(key->id, fold, &child);
        if (status == ERROR_FILE_NOT_FOUND && create) {
            if (key->depth >= kMaxKeyDepth) {
                return ERROR_INVALID_PARAMETER;
            }
            Statement insert(*this,
                             "INSERT INTO keys(parent, name, fold, written) VALUES (?, ?, ?, ?)");
            const int rc =
                insert.Bind(1, key->id).Bind(2, name).Bind(3, fold).Bind(4, FileTimeNow()).Step();
            status = Error(rc);
            child = sqlite3_last_insert_rowid(m_db);
            if (status == ERROR_SUCCESS) {
                status = Touch(key->id);
                *created = true;
            }
        }
        if (status != ERROR_SUCCESS) {
            return status;
        }
        key->parent = key->id;
        key->id = child;
        key->fold = fold;
        ++key->depth;
    }
    return ERROR_SUCCESS;
}

void RegistryStore::LimitWrites(std::optional<int> writes) {
    m_iWritesLeft = writes;
}

bool RegistryStore::TakeWrite() {
    if (!m_iWritesLeft) {
        return true;
    }
    if (*m_iWritesLeft == 0) {
        return false;
    }
    --*m_iWritesLeft;
    return true;
}

void RegistryStore::SetReadOnlyRoot(HKEY root, bool readOnly) {
    if (readOnly) {
        m_readOnlyRoots.insert(RootId(root));
    } else {
        m_readOnlyRoots.erase(RootId(root));
    }
}

HKEY RegistryStore::NewHandle(const OpenKey& key, REGSAM access) {
    // Handles are never reused, so a handle used after its close fails
    // instead of reaching some other key.
    const HKEY handle = m_nextHandle;
    m_nextHandle += 4;
    Handle opened{key, {}, {}};
    opened.key.access = EffectiveAccess(access);
    m_handles.emplace(handle, std::move(opened));
    detail::HandleOpened();
    return handle;
}

RegistryStore::Cursor* RegistryStore::CursorOf(HKEY hKey, Cursor Handle::*which) {
    const auto it = m_handles.find(hKey);
    return it == m_handles.end() ? nullptr : &(it->second.*which);
}

LONG RegistryStore::Locate(HKEY hKey, const char* lpSubKey, OpenKey* key) {
    const LONG status = Resolve(hKey, 0, key);
    return status == ERROR_SUCCESS ? Walk(key, lpSubKey, false, nullptr) : status;
}

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
