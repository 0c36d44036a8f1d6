// Fonts at a DPI: the desktop's own face, or one the windows name.

#include "platform/gui/Font.h"

#include "platform/win32/gui/Internals.h"

#include <cmath>

namespace platform {

namespace win32 {

::HFONT MakeFont(const Font& font, unsigned dpi) {
    // SystemParametersInfoForDpi has a wide form only.
    ::NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi);
    ::LOGFONTW face = metrics.lfMessageFont;
    if (!font.Name.empty()) {
        const int length =
            ::MultiByteToWideChar(CP_UTF8, 0, font.Name.c_str(), -1, face.lfFaceName, LF_FACESIZE);
        face.lfFaceName[length > 0 ? length - 1 : 0] = L'\0';
    }
    if (font.Size > 0) {
        face.lfHeight = -static_cast<::LONG>(std::lround(font.Size * dpi / 72.0));
        face.lfWidth = 0;
    }
    face.lfQuality = CLEARTYPE_QUALITY;
    return ::CreateFontIndirectW(&face);
}

} // namespace win32

bool FontInstalled(const std::string& name) {
    ::LOGFONTA wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(wanted.lfFaceName, name.c_str(), LF_FACESIZE);
    bool found = false;
    ::HDC dc = ::GetDC(nullptr);
    ::EnumFontFamiliesExA(
        dc, &wanted,
        [](const ::LOGFONTA*, const ::TEXTMETRICA*, ::DWORD, ::LPARAM flag) -> int {
            *reinterpret_cast<bool*>(flag) = true;
            return 0;
        },
        reinterpret_cast<::LPARAM>(&found), 0);
    ::ReleaseDC(nullptr, dc);
    return found && !name.empty();
}

int TextHeight(const Font& font) {
    const unsigned dpi = win32::SystemDpi();
    ::HDC dc = ::GetDC(nullptr);
    ::HFONT face = win32::MakeFont(font, dpi);
    const ::HGDIOBJ old = ::SelectObject(dc, face);
    ::TEXTMETRICA metrics{};
    ::GetTextMetricsA(dc, &metrics);
    ::SelectObject(dc, old);
    ::DeleteObject(face);
    ::ReleaseDC(nullptr, dc);
    return win32::Twips(metrics.tmHeight, dpi);
}

} // namespace platform
