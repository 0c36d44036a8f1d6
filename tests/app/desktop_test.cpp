// Netvigil as a user meets it, in a real X server with a real notification
// area and window manager: started hidden, brought back from the tray menu,
// ended from the menu bar.

#include "desktop.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <sys/wait.h>
#include <thread>

using namespace testing_support;

namespace {

struct Window {
    std::string id;
    int x = 0, y = 0, width = 0, height = 0;
};

std::vector<Window> Windows(const VirtualDesktop& desktop, bool visibleOnly) {
    std::vector<std::string> args = {"search"};
    if (visibleOnly) {
        args.push_back("--onlyvisible");
    }
    args.insert(args.end(), {"--class", "netvigil"});
    std::istringstream ids(desktop.XDoTool(args));
    std::vector<Window> windows;
    for (std::string id; ids >> id;) {
        Window w{id};
        std::istringstream shell(desktop.XDoTool({"getwindowgeometry", "--shell", id}));
        for (std::string line; std::getline(shell, line);) {
            const auto eq = line.find('=');
            if (eq == std::string::npos) {
                continue;
            }
            const std::string key = line.substr(0, eq);
            const int value = std::atoi(line.c_str() + eq + 1);
            if (key == "X") {
                w.x = value;
            } else if (key == "Y") {
                w.y = value;
            } else if (key == "WIDTH") {
                w.width = value;
            } else if (key == "HEIGHT") {
                w.height = value;
            }
        }
        windows.push_back(w);
    }
    return windows;
}

template <typename Condition> bool WaitFor(Condition condition, int seconds = 10) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

std::string Describe(const std::vector<Window>& windows) {
    std::string text;
    for (const Window& w : windows) {
        text += w.id + " at " + std::to_string(w.x) + "," + std::to_string(w.y) + " " +
                std::to_string(w.width) + "x" + std::to_string(w.height) + "; ";
    }
    return text;
}

bool IsBoard(const Window& w) {
    return w.width > 150 && w.height > 250;
}
// Docked in trayer, at the top right of the screen.
bool IsIcon(const Window& w) {
    return w.width <= 32 && w.height <= 32 && w.y < 40 && w.x > 800;
}

TEST(Desktop, HiddenStartTrayMenuRestoreAndExit) {
    VirtualDesktop desktop(true);
    if (!desktop.Available()) {
        GTEST_SKIP() << "needs Xvfb, trayer, openbox and xdotool";
    }
    TempDir dir;
    const pid_t netvigil = StartProgram({BinDir() + "/netvigil", "/hide"},
                                        {{"DISPLAY", desktop.Display()},
                                         {"QT_QPA_PLATFORM", "xcb"},
                                         {"NETVIGIL_REGISTRY", dir / "registry.db"}});
    Window icon;
    ASSERT_TRUE(WaitFor([&] {
        for (const Window& w : Windows(desktop, true)) {
            if (IsIcon(w)) {
                icon = w;
                return true;
            }
        }
        return false;
    })) << "no tray icon among "
        << Describe(Windows(desktop, false))
        << " tray host: " << desktop.XDoTool({"search", "--class", "trayer"})
        << " owner: " << TrayHostPresent(desktop.Display());
    for (const Window& w : Windows(desktop, true)) {
        EXPECT_FALSE(IsBoard(w)) << "the board shows although started hidden";
    }

    // A right click on the icon opens the tray menu; its third item restores.
    desktop.XDoTool({"mousemove", std::to_string(icon.x + icon.width / 2),
                     std::to_string(icon.y + icon.height / 2), "click", "3"});
    ASSERT_TRUE(WaitFor([&] {
        for (const Window& w : Windows(desktop, true)) {
            if (!IsIcon(w) && !IsBoard(w) && w.height > 60) {
                return true;
            }
        }
        return false;
    })) << "no tray menu";
    desktop.XDoTool({"key", "Down", "Down", "Down", "Return"});
    Window board;
    ASSERT_TRUE(WaitFor([&] {
        for (const Window& w : Windows(desktop, true)) {
            if (IsBoard(w)) {
                board = w;
                return true;
            }
        }
        return false;
    })) << "Restore From Tray did not show the board";

    // The menu bar's Exit: Options, Tray, Stop, Exit from the left.
    desktop.XDoTool(
        {"mousemove", "--window", board.id, std::to_string(board.width - 30), "8", "click", "1"});
    int status = -1;
    EXPECT_TRUE(WaitFor([&] { return ::waitpid(netvigil, &status, WNOHANG) == netvigil; }));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(Windows(desktop, false).empty()) << "a window (the icon) outlived the program";
    if (status == -1) {
        StopProgram(netvigil);
    }
}

} // namespace
