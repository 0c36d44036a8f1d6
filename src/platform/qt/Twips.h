#pragma once

// Lengths in twips (1/1440 inch) and colours as 0x00BBGGRR, the units the
// windows are written in, against Qt's pixels and QColor.

#include <QColor>

class QWidget;

#include <cstdint>

namespace platform::qt {

// At the primary screen's logical DPI: 15 at 96 DPI.
double TwipsPerPixelX();
double TwipsPerPixelY();

int PixelsX(int twips);
int PixelsY(int twips);
int TwipsX(int pixels);
int TwipsY(int pixels);

// Places a widget at a rectangle given in twips.
void PlaceTwips(QWidget* widget, int left, int top, int width, int height);

QColor FromBgr(std::int32_t bgr);
std::int32_t ToBgr(const QColor& color);

} // namespace platform::qt
