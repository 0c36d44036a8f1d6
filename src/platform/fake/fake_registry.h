#pragma once

#include "platform/sqlite/registry_store.h"

namespace platform::fake {

// Replaces the registry with a new, empty one held in memory. Handles of the
// old one become invalid.
void ResetRegistry();

// Refuses every write below root (as Windows does below HKEY_LOCAL_MACHINE
// for an ordinary user), until told otherwise or reset.
void SetReadOnlyRoot(HKEY root, bool readOnly);

} // namespace platform::fake
