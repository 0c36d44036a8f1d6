#include "platform/qt/Icons.h"

#include "platform/App.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

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

namespace platform {

// resources/netvigil.svg, built into this backend, drawn at the sizes windows
// and notification areas ask for.
HICON ProgramIcon() {
    QSvgRenderer svg(QStringLiteral(":/netvigil.svg"));
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        svg.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return qt::IconHandle(icon);
}

} // namespace platform
