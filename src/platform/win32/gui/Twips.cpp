// Lengths in twips at the monitor's DPI, or the system's.

#include "platform/gui/Twips.h"

#include "platform/win32/gui/Internals.h"

#include <cmath>

namespace platform {

namespace win32 {

int Pixels(int twips, unsigned dpi) {
    return static_cast<int>(std::lround(twips * static_cast<double>(dpi) / 1440.0));
}

int Twips(int pixels, unsigned dpi) {
    return static_cast<int>(std::lround(pixels * 1440.0 / dpi));
}

} // namespace win32

double TwipsPerPixelX() {
    return 1440.0 / win32::SystemDpi();
}

double TwipsPerPixelY() {
    return 1440.0 / win32::SystemDpi();
}

} // namespace platform
