// The user's registry on Windows is Windows' own. It has no transactions
// that Wine or an ordinary user can count on, so a group of writes is held
// together by a journal of how to undo each one.

#include "platform/user_registry.h"

#include "platform/win32/journal.h"

namespace platform {

std::string UserRegistryName() {
    return "the Windows registry";
}

std::string UserRegistryDescription() {
    return "the Windows registry of the user who runs it";
}

LONG UserRegistryStatus(std::string* problem) {
    if (problem != nullptr) {
        problem->clear();
    }
    return ERROR_SUCCESS;
}

UserRegistryTransaction::UserRegistryTransaction()
    : m_lStatus(win32::BeginJournal()), m_bOpen(m_lStatus == ERROR_SUCCESS) {}

UserRegistryTransaction::~UserRegistryTransaction() {
    if (m_bOpen) {
        win32::EndJournal(true);
    }
}

LONG UserRegistryTransaction::Commit() {
    if (!m_bOpen) {
        return m_lStatus;
    }
    m_bOpen = false;
    m_lStatus = win32::EndJournal(false);
    return m_lStatus;
}

// Windows offers an ordinary user no read snapshot of the registry: each key
// is read as it stands when the listing reaches it.
UserRegistrySnapshot::UserRegistrySnapshot() : m_bOpen(false) {}

UserRegistrySnapshot::~UserRegistrySnapshot() = default;

} // namespace platform
