#pragma once

// The user's registry store on Linux: where it is, and closing it, for tests.
// The rest of what netvigil-reg needs of it is in platform/user_registry.h.

#include "platform/user_registry.h"

#include <string>

namespace platform::posix {

// NETVIGIL_REGISTRY when set, else $XDG_CONFIG_HOME/netvigil/registry.db
// (~/.config when XDG_CONFIG_HOME is unset or not absolute).
std::string UserRegistryPath();

// Closes the store, so that the next registry call opens UserRegistryPath()
// afresh. Handles still open become invalid.
void CloseUserRegistry();

} // namespace platform::posix
