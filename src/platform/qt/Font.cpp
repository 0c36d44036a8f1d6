#include "platform/qt/Font.h"

#include "platform/gui/Twips.h"

#include <QFontDatabase>
#include <QFontMetrics>

namespace platform {

namespace qt {

QFont ToQFont(const Font& font) {
    QFont face = font.Name.empty() ? QFontDatabase::systemFont(QFontDatabase::GeneralFont)
                                   : QFont(QString::fromStdString(font.Name));
    face.setPointSizeF(font.Size);
    return face;
}

} // namespace qt

bool FontInstalled(const std::string& name) {
    return QFontDatabase::hasFamily(QString::fromStdString(name));
}

int TextHeight(const Font& font) {
    return TwipsY(QFontMetrics(qt::ToQFont(font)).height());
}

} // namespace platform
