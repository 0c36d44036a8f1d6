#pragma once

// The window system's DPI, on every Windows 10. The functions that take a DPI
// came with Windows 10 1607; imported, they would keep the program from
// starting on 1507 and 1511. They are looked up when the program runs, and
// where they are missing the older functions serve: the monitor's DPI from
// shcore's GetDpiForMonitor (Windows 8.1), the system's from the screen, and
// the metrics of the system's DPI scaled to the one asked for.

#include "platform/win32/api.h"

namespace platform::win32 {

// The functions of Windows 10 1607 (user32) and 8.1 (shcore) that the window
// system uses; null where this Windows has none.
struct DpiFunctions {
    ::UINT(WINAPI* getDpiForWindow)(::HWND) = nullptr;
    ::UINT(WINAPI* getDpiForSystem)() = nullptr;
    int(WINAPI* getSystemMetricsForDpi)(int, ::UINT) = nullptr;
    ::BOOL(WINAPI* systemParametersInfoForDpi)(::UINT, ::UINT, void*, ::UINT, ::UINT) = nullptr;
    ::BOOL(WINAPI* adjustWindowRectExForDpi)(::RECT*, ::DWORD, ::BOOL, ::DWORD, ::UINT) = nullptr;
    ::HRESULT(WINAPI* getDpiForMonitor)(::HMONITOR, int, ::UINT*, ::UINT*) = nullptr;
};

// What this Windows has, looked up once.
const DpiFunctions& ThisWindowsDpiFunctions();

// The DPI of the monitor the window is on (96 where nothing tells).
unsigned WindowDpi(::HWND hWnd, const DpiFunctions& with = ThisWindowsDpiFunctions());
// The system's DPI, for what no window's DPI decides.
unsigned SystemDpi(const DpiFunctions& with = ThisWindowsDpiFunctions());
// GetSystemMetrics at a DPI.
int MetricForDpi(int metric, unsigned dpi, const DpiFunctions& with = ThisWindowsDpiFunctions());
// The fonts and sizes of the non-client area (SPI_GETNONCLIENTMETRICS) at a DPI.
::NONCLIENTMETRICSW NonClientMetricsForDpi(unsigned dpi,
                                           const DpiFunctions& with = ThisWindowsDpiFunctions());
// The window rectangle around a client rectangle (AdjustWindowRectEx) at a
// DPI, for a window without a menu bar.
::RECT FrameForDpi(::RECT client, ::DWORD style, unsigned dpi,
                   const DpiFunctions& with = ThisWindowsDpiFunctions());

} // namespace platform::win32
