// The registry of the fake backend: the same store as on Linux, held in memory,
// so tests of the classes above see exactly the results the real one gives.

#include "platform/fake/fake_registry.h"
#include "platform/sqlite/active_store.h"

#include <memory>

namespace platform {

namespace {
std::unique_ptr<sqlite::RegistryStore>& Slot() {
    static std::unique_ptr<sqlite::RegistryStore> store;
    return store;
}
} // namespace

namespace sqlite {
RegistryStore& ActiveStore() {
    if (!Slot()) {
        Slot() = std::make_unique<RegistryStore>(":memory:");
    }
    return *Slot();
}
} // namespace sqlite

namespace fake {
void ResetRegistry() {
    const std::lock_guard guard(sqlite::RegistryLock());
    Slot() = std::make_unique<sqlite::RegistryStore>(":memory:");
}

void SetReadOnlyRoot(HKEY root, bool readOnly) {
    const std::lock_guard guard(sqlite::RegistryLock());
    sqlite::ActiveStore().SetReadOnlyRoot(root, readOnly);
}

void LimitWrites(std::optional<int> writes) {
    const std::lock_guard guard(sqlite::RegistryLock());
    sqlite::ActiveStore().LimitWrites(writes);
}
} // namespace fake

} // namespace platform
