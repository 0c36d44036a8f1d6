#pragma once

// The registry kept in one SQLite database: the four roots as trees of keys,
// each with typed values (type number + bytes). Key and value names are
// case-preserving and matched case-insensitively. Every write is one
// transaction, so two processes may use the same file at once, and a process
// killed mid-run leaves every completed write behind it.

#include "platform/win32_types.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace platform::sqlite {

class RegistryStore {
public:
    // Opens the store at path, creating it when the file does not exist (its
    // directory must). ":memory:" gives a private in-memory store. Never throws
    // and never changes a file that is not a store of ours: a store that
    // cannot be used answers every call with Status().
    explicit RegistryStore(const std::string& path);
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    LONG Status() const { return m_lStatus; }
    // Why the store cannot be used (or cannot be written), in words.
    const std::string& Problem() const { return m_sProblem; }
    bool ReadOnly() const { return m_bReadOnly; }
    // This open made the store: the file was new or empty.
    bool Created() const { return m_bCreated; }

    // Groups the writes that follow into one transaction, until Commit or
    // Rollback. Nests; only the outermost pair reaches the file.
    LONG Begin();
    // The same for reads: until Commit, they see the store as the first of
    // them found it, under one lock instead of one each. A read-only store
    // allows it too.
    LONG BeginRead();
    LONG Commit();
    void Rollback();

    LONG OpenKeyEx(HKEY hKey, const char* lpSubKey, REGSAM samDesired, HKEY* phkResult);
    LONG CreateKeyEx(HKEY hKey, const char* lpSubKey, REGSAM samDesired, HKEY* phkResult,
                     DWORD* lpdwDisposition);
    LONG CloseKey(HKEY hKey);
    LONG QueryValueEx(HKEY hKey, const char* lpValueName, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData);
    LONG SetValueEx(HKEY hKey, const char* lpValueName, DWORD dwType, const BYTE* lpData,
                    DWORD cbData);
    LONG DeleteKey(HKEY hKey, const char* lpSubKey);
    LONG DeleteValue(HKEY hKey, const char* lpValueName);
    LONG EnumKey(HKEY hKey, DWORD dwIndex, char* lpName, DWORD cchName);
    LONG EnumValue(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName,
                   DWORD* lpType, BYTE* lpData, DWORD* lpcbData);
    struct KeyInfo {
        DWORD subKeys = 0;
        DWORD maxSubKeyLen = 0;
        DWORD values = 0;
        DWORD maxValueNameLen = 0;
        DWORD maxValueLen = 0;
        FILETIME lastWrite{};
    };
    LONG QueryInfoKey(HKEY hKey, KeyInfo* info);
    // A handle to a root of this store, to be closed like any other.
    LONG ConnectRoot(HKEY hKey, HKEY* phkResult);

    // Refuses every write below a root, as Windows refuses an ordinary user
    // writes below HKEY_LOCAL_MACHINE.
    void SetReadOnlyRoot(HKEY root, bool readOnly);
    // Lets that many more writes through, then fails every write as a full
    // disk does (ERROR_DISK_FULL); committing a transaction counts as one
    // more write. None lifts the limit. For tests of what a
    // failing store leaves.
    void LimitWrites(std::optional<int> writes);

private:
    struct OpenKey {
        std::int64_t id;
        REGSAM access;
        std::int64_t root;
        int depth;            // levels below its root
        std::int64_t version; // its write stamp when last resolved
        // Where it stands: a key made after this one was deleted may get its
        // number, but not its place as well unless it has its name too.
        std::int64_t parent = 0;
        std::string fold;
    };
    // Where the last enumeration through a handle stood, so that asking for the
    // next index goes on from there instead of counting again from the first.
    struct Cursor {
        std::int64_t version = -1; // of the key when the place was taken
        DWORD index = 0;
        std::string fold;         // of the subkey at index
        std::int64_t valueId = 0; // of the value at index
    };
    struct Handle {
        OpenKey key;
        Cursor subkeys;
        Cursor values;
    };
    class Statement;
    class WriteScope;

    void Open();
    LONG Begin(const char* outermost);
    // Counts a write against LimitWrites; false when none is left.
    bool TakeWrite();
    // Commits one level, as Commit does, but without counting a write: a
    // write's own transaction or savepoint.
    LONG End();
    void Fail(LONG code, std::string problem);
    LONG Initialise();
    LONG CheckIntact();
    LONG Damaged(int sqliteCode);
    LONG Resolve(HKEY hKey, REGSAM needed, OpenKey* key);
    LONG Locate(HKEY hKey, const char* lpSubKey, OpenKey* key);
    LONG Walk(OpenKey* key, const char* lpSubKey, bool create, bool* created);
    LONG Child(std::int64_t parent, const std::string& fold, std::int64_t* id);
    LONG Touch(std::int64_t id);
    HKEY NewHandle(const OpenKey& key, REGSAM access);
    Cursor* CursorOf(HKEY hKey, Cursor Handle::*which);
    bool Writable(const OpenKey& key) const { return !m_readOnlyRoots.contains(key.root); }
    LONG Error(int sqliteCode);
    sqlite3_stmt* Prepare(const char* sql);

    std::string m_sPath;
    sqlite3* m_db = nullptr;
    LONG m_lStatus = ERROR_SUCCESS;
    std::string m_sProblem;
    bool m_bReadOnly = false;
    bool m_bCreated = false;
    int m_iDepth = 0;
    std::map<const char*, sqlite3_stmt*> m_statements;
    std::unordered_map<HKEY, Handle> m_handles;
    HKEY m_nextHandle = 0x1000;
    std::set<std::int64_t> m_readOnlyRoots;
    std::optional<int> m_iWritesLeft;
};

} // namespace platform::sqlite
