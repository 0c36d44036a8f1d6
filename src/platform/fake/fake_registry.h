#pragma once

#include "platform/sqlite/registry_store.h"

namespace platform::fake {

// Replaces the registry with a new, empty one held in memory. Handles of the
// old one become invalid.
void ResetRegistry();

} // namespace platform::fake
