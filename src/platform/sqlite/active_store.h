#pragma once

#include "platform/sqlite/registry_store.h"

#include <mutex>

namespace platform::sqlite {

// The store the registry functions act on; each backend that keeps the
// registry in SQLite supplies it. Called with the registry lock held.
RegistryStore& ActiveStore();

// Held around every use of the active store.
std::mutex& RegistryLock();

} // namespace platform::sqlite
