#include "platform/qt/Icons.h"

#include "platform/gui/App.h"
#include "platform/qt/Twips.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

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

namespace {

// The badge takes the lower right corner, half the icon across: at 16 pixels
// still an 8-pixel disc. A dark rim keeps a light colour apart from a light
// panel, and a ring cut out of the picture keeps it apart from the icon's
// own dark red, and a dark panel, behind it.
QPixmap Badged(QPixmap pixmap, const QColor& colour) {
    const qreal size = pixmap.width();
    const qreal diameter = std::round(size / 2);
    const qreal rim = std::max<qreal>(1, std::round(size / 24));
    const QRectF disc(size - diameter, size - diameter, diameter, diameter);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawEllipse(disc.adjusted(-rim, -rim, rim, rim));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setBrush(QColor(0x20, 0x20, 0x20));
    painter.drawEllipse(disc);
    painter.setBrush(colour);
    painter.drawEllipse(disc.adjusted(rim, rim, -rim, -rim));
    painter.end();
    return pixmap;
}

} // namespace

} // namespace platform::qt

namespace platform {

HICON BadgedIcon(HICON hIcon, std::optional<std::int32_t> lBadgeColor) {
    const QIcon icon = qt::IconFromHandle(hIcon);
    if (!lBadgeColor || icon.isNull()) {
        return hIcon;
    }
    static std::map<std::pair<HICON, std::int32_t>, HICON> made;
    const auto key = std::make_pair(hIcon, *lBadgeColor);
    if (const auto it = made.find(key); it != made.end()) {
        return it->second;
    }
    const QColor colour = qt::FromBgr(*lBadgeColor);
    QIcon badged;
    for (const QSize& size : icon.availableSizes()) {
        badged.addPixmap(qt::Badged(icon.pixmap(size, 1.0), colour));
    }
    const HICON handle = qt::IconHandle(badged);
    made.emplace(key, handle);
    return handle;
}

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
