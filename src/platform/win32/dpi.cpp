#include "platform/win32/dpi.h"

namespace platform::win32 {

namespace {

constexpr unsigned kDefaultDpi = 96;
// MDT_EFFECTIVE_DPI: the DPI the user's scale gives the monitor.
constexpr int kEffectiveDpi = 0;

template <typename Function> Function* Lookup(::HMODULE module, const char* name) {
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function*>(
        reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

template <typename Function> void Find(Function*& out, ::HMODULE module, const char* name) {
    out = Lookup<Function>(module, name);
}

// The metrics of the system's DPI (what the functions without a DPI give a
// DPI-aware program) at another.
int Scaled(int value, unsigned dpi, unsigned systemDpi) {
    return ::MulDiv(value, static_cast<int>(dpi), static_cast<int>(systemDpi));
}

} // namespace

const DpiFunctions& ThisWindowsDpiFunctions() {
    static const DpiFunctions functions = [] {
        DpiFunctions found;
        // user32 is loaded with the program: it imports functions of it.
        const ::HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
        Find(found.getDpiForWindow, user32, "GetDpiForWindow");
        Find(found.getDpiForSystem, user32, "GetDpiForSystem");
        Find(found.getSystemMetricsForDpi, user32, "GetSystemMetricsForDpi");
        Find(found.systemParametersInfoForDpi, user32, "SystemParametersInfoForDpi");
        Find(found.adjustWindowRectExForDpi, user32, "AdjustWindowRectExForDpi");
        // Only where GetDpiForWindow is missing does the monitor's DPI come
        // from shcore; it stays loaded for the rest of the run.
        if (found.getDpiForWindow == nullptr) {
            Find(found.getDpiForMonitor,
                 ::LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32),
                 "GetDpiForMonitor");
        }
        return found;
    }();
    return functions;
}

unsigned SystemDpi(const DpiFunctions& with) {
    ::UINT dpi = 0;
    if (with.getDpiForSystem != nullptr) {
        dpi = with.getDpiForSystem();
    } else if (::HDC screen = ::GetDC(nullptr)) {
        dpi = static_cast<::UINT>(::GetDeviceCaps(screen, LOGPIXELSX));
        ::ReleaseDC(nullptr, screen);
    }
    return dpi != 0 ? dpi : kDefaultDpi;
}

unsigned WindowDpi(::HWND hWnd, const DpiFunctions& with) {
    ::UINT dpi = 0;
    if (hWnd == nullptr) {
        return SystemDpi(with);
    }
    if (with.getDpiForWindow != nullptr) {
        dpi = with.getDpiForWindow(hWnd);
    } else if (with.getDpiForMonitor != nullptr) {
        ::UINT dpiY = 0;
        if (FAILED(with.getDpiForMonitor(::MonitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST),
                                         kEffectiveDpi, &dpi, &dpiY))) {
            dpi = 0;
        }
    }
    return dpi != 0 ? dpi : SystemDpi(with);
}

int MetricForDpi(int metric, unsigned dpi, const DpiFunctions& with) {
    if (with.getSystemMetricsForDpi != nullptr) {
        return with.getSystemMetricsForDpi(metric, dpi);
    }
    return Scaled(::GetSystemMetrics(metric), dpi, SystemDpi(with));
}

::NONCLIENTMETRICSW NonClientMetricsForDpi(unsigned dpi, const DpiFunctions& with) {
    ::NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (with.systemParametersInfoForDpi != nullptr) {
        with.systemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi);
        return metrics;
    }
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    const unsigned system = SystemDpi(with);
    for (::LOGFONTW* font : {&metrics.lfCaptionFont, &metrics.lfSmCaptionFont, &metrics.lfMenuFont,
                             &metrics.lfStatusFont, &metrics.lfMessageFont}) {
        font->lfHeight = Scaled(font->lfHeight, dpi, system);
        font->lfWidth = Scaled(font->lfWidth, dpi, system);
    }
    for (int* size : {&metrics.iBorderWidth, &metrics.iScrollWidth, &metrics.iScrollHeight,
                      &metrics.iCaptionWidth, &metrics.iCaptionHeight, &metrics.iSmCaptionWidth,
                      &metrics.iSmCaptionHeight, &metrics.iMenuWidth, &metrics.iMenuHeight,
                      &metrics.iPaddedBorderWidth}) {
        *size = Scaled(*size, dpi, system);
    }
    return metrics;
}

::RECT FrameForDpi(::RECT client, ::DWORD style, unsigned dpi, const DpiFunctions& with) {
    ::RECT frame = client;
    if (with.adjustWindowRectExForDpi != nullptr) {
        with.adjustWindowRectExForDpi(&frame, style, FALSE, 0, dpi);
        return frame;
    }
    // The frame of the system's DPI, each edge scaled.
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
    const unsigned system = SystemDpi(with);
    return {client.left - Scaled(client.left - frame.left, dpi, system),
            client.top - Scaled(client.top - frame.top, dpi, system),
            client.right + Scaled(frame.right - client.right, dpi, system),
            client.bottom + Scaled(frame.bottom - client.bottom, dpi, system)};
}

} // namespace platform::win32
