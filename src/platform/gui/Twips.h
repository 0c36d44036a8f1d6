#pragma once

// Lengths on windows are in twips, 1/1440 inch: 15 to a pixel at 96 DPI.

#include <cmath>

namespace platform {

// At the screen's logical DPI.
double TwipsPerPixelX();
double TwipsPerPixelY();

// Whole pixels for twips, and twips for pixels, to the nearest.
inline int PixelsX(int twips) {
    return static_cast<int>(std::lround(twips / TwipsPerPixelX()));
}
inline int PixelsY(int twips) {
    return static_cast<int>(std::lround(twips / TwipsPerPixelY()));
}
inline int TwipsX(int pixels) {
    return static_cast<int>(std::lround(pixels * TwipsPerPixelX()));
}
inline int TwipsY(int pixels) {
    return static_cast<int>(std::lround(pixels * TwipsPerPixelY()));
}

} // namespace platform
