// Fonts at a DPI: the desktop's own face, or one the windows name.

#include "platform/gui/Font.h"

#include "platform/win32/gui/Internals.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>

namespace platform {

namespace win32 {

::HFONT MakeFont(const Font& font, unsigned dpi) {
    ::LOGFONTW face = NonClientMetricsForDpi(dpi).lfMessageFont;
    if (!font.Name.empty()) {
        // A name longer than the field (no face's is) is cut, never left
        // without its NUL.
        const std::wstring name = Wide(font.Name).substr(0, LF_FACESIZE - 1);
        std::fill(std::begin(face.lfFaceName), std::end(face.lfFaceName), L'\0');
        std::copy(name.begin(), name.end(), face.lfFaceName);
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
    const std::wstring face = win32::Wide(name);
    if (face.empty() || face.size() >= LF_FACESIZE) {
        return false;
    }
    ::LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    std::copy(face.begin(), face.end(), wanted.lfFaceName);
    bool found = false;
    ::HDC dc = ::GetDC(nullptr);
    ::EnumFontFamiliesExW(
        dc, &wanted,
        [](const ::LOGFONTW*, const ::TEXTMETRICW*, ::DWORD, ::LPARAM flag) -> int {
            *reinterpret_cast<bool*>(flag) = true;
            return 0;
        },
        reinterpret_cast<::LPARAM>(&found), 0);
    ::ReleaseDC(nullptr, dc);
    return found;
}

int TextHeight(const Font& font) {
    const unsigned dpi = win32::SystemDpi();
    ::HDC dc = ::GetDC(nullptr);
    ::HFONT face = win32::MakeFont(font, dpi);
    const ::HGDIOBJ old = ::SelectObject(dc, face);
    ::TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, old);
    ::DeleteObject(face);
    ::ReleaseDC(nullptr, dc);
    return win32::Twips(metrics.tmHeight, dpi);
}

} // namespace platform
