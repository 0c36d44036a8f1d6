#pragma once

// The user's registry store on Linux, for the programs that manage it
// (netvigil-reg) and for tests. Everything else uses the registry functions.

#include "platform/win32_types.h"

#include <string>

namespace platform::posix {

// NETVIGIL_REGISTRY when set, else $XDG_CONFIG_HOME/netvigil/registry.db
// (~/.config when XDG_CONFIG_HOME is unset or not absolute).
std::string UserRegistryPath();

// Opens the store if it is not open yet. ERROR_SUCCESS when it can be used;
// otherwise the error every registry function answers, with the reason in
// *problem. A read-only store is usable, and says so in *problem.
LONG UserRegistryStatus(std::string* problem);

// Closes the store, so that the next registry call opens UserRegistryPath()
// afresh. Handles still open become invalid.
void CloseUserRegistry();

// The registry writes made while an instance lives reach the store together,
// at Commit(), or not at all.
class UserRegistryTransaction {
public:
    UserRegistryTransaction();
    ~UserRegistryTransaction();
    UserRegistryTransaction(const UserRegistryTransaction&) = delete;
    UserRegistryTransaction& operator=(const UserRegistryTransaction&) = delete;

    LONG Status() const { return m_lStatus; }
    LONG Commit();

private:
    LONG m_lStatus;
    bool m_bOpen;
};

// The registry reads made while an instance lives see the store as the first
// of them found it: a listing or an export of one state, never a mix.
class UserRegistrySnapshot {
public:
    UserRegistrySnapshot();
    ~UserRegistrySnapshot();
    UserRegistrySnapshot(const UserRegistrySnapshot&) = delete;
    UserRegistrySnapshot& operator=(const UserRegistrySnapshot&) = delete;

private:
    bool m_bOpen;
};

} // namespace platform::posix
