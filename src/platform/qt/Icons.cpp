#include "platform/qt/Icons.h"

#include <map>

namespace platform::qt {

namespace {
std::map<HICON, QIcon>& Icons() {
    static std::map<HICON, QIcon> icons;
    return icons;
}
} // namespace

HICON IconHandle(const QIcon& icon) {
    if (icon.isNull()) {
        return 0;
    }
    auto& icons = Icons();
    for (const auto& [handle, known] : icons) {
        if (known.cacheKey() == icon.cacheKey()) {
            return handle;
        }
    }
    const HICON handle = 0x1000 + static_cast<HICON>(icons.size()) * 4;
    icons.emplace(handle, icon);
    return handle;
}

QIcon IconFromHandle(HICON handle) {
    const auto it = Icons().find(handle);
    return it == Icons().end() ? QIcon() : it->second;
}

} // namespace platform::qt
