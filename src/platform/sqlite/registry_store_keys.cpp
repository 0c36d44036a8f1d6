// Key paths and handles: names folded for comparison, paths walked level by
// level, and the handles that hold an open key.

#include "platform/handles.h"
#include "platform/registry.h"
#include "platform/sqlite/registry_store_internals.h"
#include "platform/utf8.h"

#include <chrono>
#include <clocale>
#include <cwctype>
#include <locale.h> // NOLINT(modernize-deprecated-headers): POSIX newlocale, not C
#include <sqlite3.h>
#include <utility>

namespace platform::sqlite {

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

namespace {

std::int64_t FileTimeNow() {
    using namespace std::chrono;
    // FILETIME counts 100 ns ticks from 1601-01-01.
    constexpr std::int64_t kEpochDifference = 116444736000000000LL;
    const auto ticks = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
    return ticks / 100 + kEpochDifference;
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

} // namespace

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

} // namespace platform::sqlite
