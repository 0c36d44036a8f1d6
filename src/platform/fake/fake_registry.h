#pragma once

#include "platform/sqlite/registry_store.h"

#include <optional>

namespace platform::fake {

// Replaces the registry with a new, empty one held in memory. Handles of the
// old one become invalid.
void ResetRegistry();

// Refuses every write below root (as Windows does below HKEY_LOCAL_MACHINE
// for an ordinary user), until told otherwise or reset.
void SetReadOnlyRoot(HKEY root, bool readOnly);

// Lets that many more writes through and then fails every write, and the
// commit of a transaction, as on a full disk (ERROR_DISK_FULL), until told
// otherwise (none) or reset.
void LimitWrites(std::optional<int> writes);

} // namespace platform::fake
