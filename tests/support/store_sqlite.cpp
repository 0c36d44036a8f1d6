#include "platform/posix/user_registry.h"
#include "store.h"
#include "test_support.h"

#include <cstdlib>
#include <memory>

void FreshStore() {
    static std::unique_ptr<testing_support::TempDir> dir;
    platform::posix::CloseUserRegistry();
    dir = std::make_unique<testing_support::TempDir>();
    ::setenv("NETVIGIL_REGISTRY", (*dir / "registry.db").c_str(), 1);
}

bool MakeRootReadOnly(platform::HKEY /*root*/) {
    return false;
}
