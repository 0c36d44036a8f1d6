// The colour dialog (comdlg32), and fonts and lengths at the monitor's DPI.

#include "platform/CommonDialog.h"
#include "platform/win32/gui/Internals.h"

#include <cmath>
#include <commdlg.h>

namespace platform {

namespace {

CommonDialog::Chooser& CurrentChooser() {
    static CommonDialog::Chooser chooser;
    return chooser;
}

// Gives the dialog its title, which ChooseColor has no field for.
::UINT_PTR CALLBACK TitleHook(::HWND dialog, ::UINT message, ::WPARAM /*wParam*/, ::LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* choose = reinterpret_cast<const ::CHOOSECOLORA*>(lParam);
        ::SetWindowTextA(dialog, reinterpret_cast<const char*>(choose->lCustData));
    }
    return 0;
}

unsigned SystemDpi() {
    const ::UINT dpi = ::GetDpiForSystem();
    return dpi != 0 ? dpi : 96;
}

} // namespace

void CommonDialog::SetChooser(Chooser chooser) {
    CurrentChooser() = std::move(chooser);
}

bool CommonDialog::ShowColor() {
    std::optional<std::int32_t> picked;
    if (CurrentChooser()) {
        picked = CurrentChooser()(m_lColor, m_sDialogTitle);
    } else {
        static ::COLORREF custom[16] = {};
        ::CHOOSECOLORA choose{};
        choose.lStructSize = sizeof choose;
        choose.hwndOwner = m_owner.Internals().hWnd;
        choose.rgbResult = win32::Colour(m_lColor);
        choose.lpCustColors = custom;
        choose.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK;
        choose.lpfnHook = TitleHook;
        choose.lCustData = reinterpret_cast<::LPARAM>(m_sDialogTitle.c_str());
        if (::ChooseColorA(&choose) != FALSE) {
            picked = static_cast<std::int32_t>(choose.rgbResult & 0xFFFFFFu);
        }
    }
    if (picked) {
        m_lColor = *picked;
    }
    return picked.has_value();
}

namespace win32 {

int Pixels(int twips, unsigned dpi) {
    return static_cast<int>(std::lround(twips * static_cast<double>(dpi) / 1440.0));
}

int Twips(int pixels, unsigned dpi) {
    return static_cast<int>(std::lround(pixels * 1440.0 / dpi));
}

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
    const unsigned dpi = SystemDpi();
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

double TwipsPerPixelX() {
    return 1440.0 / SystemDpi();
}

double TwipsPerPixelY() {
    return 1440.0 / SystemDpi();
}

} // namespace platform
