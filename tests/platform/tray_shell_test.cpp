// The Qt notification area in a real X server with a real tray host: Xvfb
// and trayer, clicked with xdotool. Skips where they are not installed.

#include "desktop.h"
#include "platform/gui/App.h"
#include "platform/gui/Form.h"
#include "platform/qt/Icons.h"
#include "platform/qt/TrayShell.h"
#include "platform/shell.h"
#include "test_support.h"

#include <QApplication>
#include <QPixmap>
#include <QStyleHints>
#include <QSystemTrayIcon>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace platform;
using namespace platform::qt;
using namespace testing_support;

namespace {

std::string g_display;

// The X window under a point of the screen, as xdotool finds it.
std::string WindowAt(const QPoint& at) {
    const auto r = RunProgram("/usr/bin/xdotool",
                              {"mousemove", std::to_string(at.x()), std::to_string(at.y()),
                               "getmouselocation", "--shell"},
                              {{"DISPLAY", g_display}});
    const auto at_window = r.out.find("WINDOW=");
    return at_window == std::string::npos ? "" : r.out.substr(at_window + 7);
}

TEST(TrayShell, IconAppearsAnswersClicksAndGoes) {
    if (g_display.empty()) {
        GTEST_SKIP() << "needs Xvfb, trayer and xdotool";
    }
    ASSERT_TRUE(WaitFor([&] { return TrayHostPresent(g_display); })) << "no tray host";
    ASSERT_TRUE(NotificationAreaAvailable());

    Form form;
    std::vector<float> callbacks;
    form.MouseMove = [&](int, int, float xValue, float) { callbacks.push_back(xValue); };
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::green);
    NOTIFYICONDATA r{};
    r.cbSize = sizeof r;
    r.hWnd = form.hWnd();
    r.uID = 1;
    r.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    r.uCallbackMessage = WM_MOUSEMOVE;
    r.hIcon = IconHandle(QIcon(pixmap));
    std::strcpy(r.szTip, "Router is on.\rPrinter is off.\r");
    ASSERT_EQ(Shell_NotifyIcon(NIM_ADD, &r), TRUE);
    EXPECT_EQ(Shell_NotifyIcon(NIM_ADD, &r), FALSE);
    EXPECT_EQ(Shell_NotifyIcon(NIM_SETVERSION, &r), TRUE);

    std::strcpy(r.szTip, "Grüße is on.\r");
    EXPECT_EQ(Shell_NotifyIcon(NIM_MODIFY, &r), TRUE);
    const QSystemTrayIcon* icon = TrayIconFor(form.hWnd(), 1);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->toolTip(), QString::fromUtf8("Grüße is on.\n"));
    // The smallest record carries only the tip's first 64 characters.
    NOTIFYICONDATA small = r;
    small.cbSize = 88;
    std::memset(small.szTip, 'x', sizeof small.szTip);
    EXPECT_EQ(Shell_NotifyIcon(NIM_MODIFY, &small), TRUE);
    EXPECT_EQ(icon->toolTip(), QString(64, 'x'));
    EXPECT_EQ(Shell_NotifyIcon(NIM_MODIFY, &r), TRUE);
    NOTIFYICONDATA other = r;
    other.uID = 2;
    EXPECT_EQ(Shell_NotifyIcon(NIM_MODIFY, &other), FALSE);
    EXPECT_EQ(Shell_NotifyIcon(NIM_DELETE, &other), FALSE);

    // Docked in the tray: it has moved to its place there, and has a window.
    ASSERT_TRUE(WaitFor(
        [&] { return icon->geometry().isValid() && icon->geometry().topLeft() != QPoint(0, 0); }));
    const QPoint centre = icon->geometry().center();
    const std::string iconWindow = WindowAt(centre);
    ASSERT_FALSE(iconWindow.empty());
    const std::map<std::string, std::string> env = {{"DISPLAY", g_display}};
    RunProgram("/usr/bin/xdotool",
               {"mousemove", std::to_string(centre.x()), std::to_string(centre.y()), "click",
                "--repeat", "2", "--delay", "50", "1"},
               env);
    EXPECT_TRUE(WaitFor([&] {
        return std::count(callbacks.begin(), callbacks.end(), 0x203 * 15.0F) == 1;
    })) << ::testing::PrintToString(callbacks);
    RunProgram("/usr/bin/xdotool", {"click", "3"}, env);
    EXPECT_TRUE(WaitFor(
        [&] { return std::count(callbacks.begin(), callbacks.end(), 0x205 * 15.0F) == 1; }));
    // In pixel mode the number itself. (Waiting out the double-click time
    // first, so that the two right clicks stay two clicks.)
    form.SetScaleMode(vbPixels);
    std::this_thread::sleep_for(
        std::chrono::milliseconds(QGuiApplication::styleHints()->mouseDoubleClickInterval()));
    RunProgram("/usr/bin/xdotool", {"click", "3"}, env);
    EXPECT_TRUE(
        WaitFor([&] { return std::count(callbacks.begin(), callbacks.end(), 0x205 * 1.0F) == 1; }));

    EXPECT_EQ(Shell_NotifyIcon(NIM_DELETE, &r), TRUE);
    EXPECT_TRUE(WaitFor([&] { return WindowAt(centre) != iconWindow; }));
    EXPECT_EQ(TrayIconFor(form.hWnd(), 1), nullptr);
    form.Unload();
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    VirtualDesktop desktop(false);
    if (desktop.Available()) {
        g_display = desktop.Display();
        for (const auto& [name, value] : desktop.Environment()) {
            ::setenv(name.c_str(), value.c_str(), 1);
        }
    }
    ::setenv("QT_QPA_PLATFORM", g_display.empty() ? "offscreen" : "xcb", 1);
    QApplication app(argc, argv);
    SetWhileWaiting([] {
        DoEvents();
        // Deferred deletions too, as the application's own loop would.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    });
    return RUN_ALL_TESTS();
}
