#pragma once

// The user's registry, for the program that manages it (netvigil-reg), and
// the transaction that makes the options window's writes one change.
// Everything else uses the registry functions.

#include "platform/win32_types.h"

#include <string>

namespace platform {

// Where the user's registry is kept, as messages name it.
std::string UserRegistryName();
// The same, said in full for a usage text.
std::string UserRegistryDescription();

// ERROR_SUCCESS when the registry can be used; otherwise the error every
// registry function answers, with the reason in *problem. A registry that can
// only be read is usable, and says so in *problem.
LONG UserRegistryStatus(std::string* problem);

// The registry writes made while an instance lives take effect together, at
// Commit(), or not at all.
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

// The registry reads made while an instance lives see the registry as the
// first of them found it, where the registry can: a listing or an export of
// one state, never a mix.
class UserRegistrySnapshot {
public:
    UserRegistrySnapshot();
    ~UserRegistrySnapshot();
    UserRegistrySnapshot(const UserRegistrySnapshot&) = delete;
    UserRegistrySnapshot& operator=(const UserRegistrySnapshot&) = delete;

private:
    bool m_bOpen;
};

} // namespace platform
