#pragma once

// Twips and colours as 0x00BBGGRR, the units the windows are written in,
// against Qt's pixels and QColor.

#include <QColor>

#include <cstdint>

class QWidget;

namespace platform::qt {

// Places a widget at a rectangle given in twips.
void PlaceTwips(QWidget* widget, int left, int top, int width, int height);

QColor FromBgr(std::int32_t bgr);
std::int32_t ToBgr(const QColor& color);

} // namespace platform::qt
