#include "platform/fake/fake_registry.h"
#include "store.h"

void FreshStore() {
    platform::fake::ResetRegistry();
}

bool MakeRootReadOnly(platform::HKEY root) {
    platform::fake::SetReadOnlyRoot(root, true);
    return true;
}
