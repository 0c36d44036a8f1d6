// The window system's DPI on a Windows 10 older than 1607, which has none of
// the functions that take a DPI: the older functions it falls back on give
// what the newer ones give at the system's DPI, and scale the sizes the
// window system takes at another DPI (icons, fonts, the scroll bar) as the
// newer ones do. Run by wine-run --desktop.

#include "platform/win32/dpi.h"

#include <gtest/gtest.h>

namespace {

using platform::win32::DpiFunctions;
using platform::win32::ThisWindowsDpiFunctions;

// Windows 10 1507: only GetDpiForMonitor, from Windows 8.1.
DpiFunctions Windows1507() {
    DpiFunctions older;
    older.getDpiForMonitor =
        reinterpret_cast<decltype(older.getDpiForMonitor)>(reinterpret_cast<void (*)()>(
            ::GetProcAddress(::LoadLibraryW(L"shcore.dll"), "GetDpiForMonitor")));
    return older;
}

class Dpi : public ::testing::Test {
protected:
    void SetUp() override {
        if (ThisWindowsDpiFunctions().getDpiForWindow == nullptr) {
            GTEST_SKIP() << "this Windows has no DPI functions to compare with";
        }
        ASSERT_NE(older.getDpiForMonitor, nullptr);
    }

    const DpiFunctions& newer = ThisWindowsDpiFunctions();
    const DpiFunctions older = Windows1507();
};

TEST_F(Dpi, TheSystemsAndAWindowsAreTheSame) {
    const unsigned system = platform::win32::SystemDpi(newer);
    EXPECT_EQ(platform::win32::SystemDpi(older), system);
    EXPECT_EQ(platform::win32::SystemDpi(DpiFunctions{}), system);
    const ::HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                            nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(platform::win32::WindowDpi(window, older), platform::win32::WindowDpi(window, newer));
    EXPECT_EQ(platform::win32::WindowDpi(window, DpiFunctions{}), system);
    ::DestroyWindow(window);
}

TEST_F(Dpi, MetricsAndFontsScaleAsTheNewerFunctionsDo) {
    const unsigned system = platform::win32::SystemDpi(newer);
    for (const unsigned dpi : {system, 2 * system}) {
        SCOPED_TRACE(dpi);
        for (const int metric : {SM_CXVSCROLL, SM_CXICON, SM_CXSMICON}) {
            EXPECT_EQ(platform::win32::MetricForDpi(metric, dpi, older),
                      platform::win32::MetricForDpi(metric, dpi, newer))
                << "metric " << metric;
        }
        const ::NONCLIENTMETRICSW was = platform::win32::NonClientMetricsForDpi(dpi, older);
        const ::NONCLIENTMETRICSW is = platform::win32::NonClientMetricsForDpi(dpi, newer);
        EXPECT_EQ(was.lfMessageFont.lfHeight, is.lfMessageFont.lfHeight);
        EXPECT_STREQ(was.lfMessageFont.lfFaceName, is.lfMessageFont.lfFaceName);
        EXPECT_EQ(was.iScrollWidth, is.iScrollWidth);
    }
}

TEST_F(Dpi, AWindowsFrameIsTheSame) {
    constexpr ::DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    const ::RECT client{10, 20, 210, 320};
    const unsigned system = platform::win32::SystemDpi(newer);
    const ::RECT before = platform::win32::FrameForDpi(client, kStyle, system, older);
    const ::RECT after = platform::win32::FrameForDpi(client, kStyle, system, newer);
    EXPECT_EQ(before.left, after.left);
    EXPECT_EQ(before.top, after.top);
    EXPECT_EQ(before.right, after.right);
    EXPECT_EQ(before.bottom, after.bottom);
    EXPECT_LT(after.top, client.top);
}

} // namespace
