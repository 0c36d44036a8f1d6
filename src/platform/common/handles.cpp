#include "platform/handles.h"

#include <atomic>

namespace platform {

namespace {
std::atomic<std::size_t> g_openHandles{0};
}

std::size_t OpenHandleCount() {
    return g_openHandles.load();
}

namespace detail {
void HandleOpened() {
    ++g_openHandles;
}
void HandleClosed() {
    --g_openHandles;
}
} // namespace detail

} // namespace platform
