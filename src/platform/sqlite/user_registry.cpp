// The parts of the user's registry that are the same wherever it is kept in
// SQLite: on Linux in the user's file, in the fake backend in memory.

#include "platform/user_registry.h"

#include "platform/sqlite/active_store.h"

namespace platform {

LONG UserRegistryStatus(std::string* problem) {
    const std::lock_guard guard(sqlite::RegistryLock());
    const auto& store = sqlite::ActiveStore();
    if (problem != nullptr) {
        *problem = store.Problem();
    }
    return store.Status();
}

UserRegistryTransaction::UserRegistryTransaction() {
    const std::lock_guard guard(sqlite::RegistryLock());
    m_lStatus = sqlite::ActiveStore().Begin();
    m_bOpen = m_lStatus == ERROR_SUCCESS;
}

UserRegistryTransaction::~UserRegistryTransaction() {
    if (m_bOpen) {
        const std::lock_guard guard(sqlite::RegistryLock());
        sqlite::ActiveStore().Rollback();
    }
}

LONG UserRegistryTransaction::Commit() {
    if (!m_bOpen) {
        return m_lStatus;
    }
    m_bOpen = false;
    const std::lock_guard guard(sqlite::RegistryLock());
    m_lStatus = sqlite::ActiveStore().Commit();
    return m_lStatus;
}

UserRegistrySnapshot::UserRegistrySnapshot() {
    const std::lock_guard guard(sqlite::RegistryLock());
    m_bOpen = sqlite::ActiveStore().BeginRead() == ERROR_SUCCESS;
}

UserRegistrySnapshot::~UserRegistrySnapshot() {
    if (m_bOpen) {
        const std::lock_guard guard(sqlite::RegistryLock());
        sqlite::ActiveStore().Commit();
    }
}

} // namespace platform
