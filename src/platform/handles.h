#pragma once

#include <cstddef>

namespace platform {

// How many handles the platform functions have handed out and not yet had
// closed. Tests compare it before and after an operation to catch leaks.
std::size_t OpenHandleCount();

namespace detail {
void HandleOpened();
void HandleClosed();
} // namespace detail

} // namespace platform
