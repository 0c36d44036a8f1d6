// Netvigil as a user meets it, in a real X server with a real notification
// area and window manager: started hidden, brought back from the tray menu,
// ended from the menu bar.

#include "desktop.h"
#include "echo_requests.h"
#include "late_hosts.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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

// The board is 197 pixels wide at 96 DPI, however many rows it shows.
bool IsBoard(const Window& w) {
    return w.width >= 190 && w.width <= 210 && w.height > 60;
}

// Docked in trayer, at the top right of the screen.
bool IsIcon(const Window& w) {
    return w.width <= 32 && w.height <= 32 && w.y < 40 && w.x > 800;
}

Window Find(const VirtualDesktop& desktop, bool (*is)(const Window&)) {
    for (const Window& w : Windows(desktop, true)) {
        if (is(w)) {
            return w;
        }
    }
    return {};
}

// The program ends by itself, cleanly, and takes its windows (the tray icon
// too) with it; one that does not is stopped.
void ExpectEnded(const VirtualDesktop& desktop, pid_t netvigil) {
    int status = -1;
    EXPECT_TRUE(WaitFor([&] { return ::waitpid(netvigil, &status, WNOHANG) == netvigil; }));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "exit " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1) << " signal "
        << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_TRUE(Windows(desktop, false).empty()) << "a window (the icon) outlived the program";
    if (status == -1) {
        StopProgram(netvigil);
    }
}

TEST(Desktop, HiddenStartTrayMenuRestoreAndExit) {
    VirtualDesktop desktop(true);
    if (!desktop.Available()) {
        GTEST_SKIP() << "needs Xvfb, trayer, openbox and xdotool";
    }
    TempDir dir;
    std::map<std::string, std::string> env = desktop.Environment();
    env.insert({{"QT_QPA_PLATFORM", "xcb"}, {"NETVIGIL_REGISTRY", dir / "registry.db"}});
    const pid_t netvigil = StartProgram({BinDir() + "/netvigil", "/hide"}, env);
    Window icon;
    ASSERT_TRUE(WaitFor([&] { return !(icon = Find(desktop, IsIcon)).id.empty(); }))
        << "no tray icon among " << Describe(Windows(desktop, false))
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
    ASSERT_TRUE(WaitFor([&] { return !(board = Find(desktop, IsBoard)).id.empty(); }))
        << "Restore From Tray did not show the board";

    // The menu bar's Exit: Options, Tray, Stop, Exit from the left.
    desktop.XDoTool(
        {"mousemove", "--window", board.id, std::to_string(board.width - 30), "8", "click", "1"});
    ExpectEnded(desktop, netvigil);
}

// A notification area that goes away (a panel that crashes) while the board
// is hidden in it gives the board back: minimized, with its task-list entry.
TEST(Desktop, ATrayThatGoesAwayGivesTheBoardBack) {
    VirtualDesktop desktop(true);
    if (!desktop.Available()) {
        GTEST_SKIP() << "needs Xvfb, trayer, openbox and xdotool";
    }
    TempDir dir;
    std::map<std::string, std::string> env = desktop.Environment();
    env.insert({{"QT_QPA_PLATFORM", "xcb"}, {"NETVIGIL_REGISTRY", dir / "registry.db"}});
    const pid_t netvigil = StartProgram({BinDir() + "/netvigil", "/hide"}, env);
    ASSERT_TRUE(WaitFor([&] { return !Find(desktop, IsIcon).id.empty(); })) << "no tray icon";
    desktop.StopTrayHost();
    std::string state;
    EXPECT_TRUE(WaitFor([&] {
        for (const Window& w : Windows(desktop, false)) {
            if (IsBoard(w) &&
                (state = desktop.XProp(w.id, "WM_STATE")).find("Iconic") != std::string::npos) {
                state += desktop.XProp(w.id, "_NET_WM_STATE");
                return true;
            }
        }
        return false;
    })) << "the board stayed hidden with no tray to come back from";
    EXPECT_EQ(state.find("SKIP_TASKBAR"), std::string::npos) << state;
    StopProgram(netvigil);
}

} // namespace

namespace {

// The colours down the column of the board's lights, as runs: 'g' green,
// 'r' red, from top to bottom. The column passes left of each light's tick
// or cross.
std::string LightColours(const VirtualDesktop& desktop, const Window& board,
                         const std::string& shot) {
    RunProgram("/usr/bin/import", {"-window", "root", shot}, {{"DISPLAY", desktop.Display()}});
    const std::string geometry = "1x" + std::to_string(board.height) + "+" +
                                 std::to_string(board.x + 10) + "+" + std::to_string(board.y);
    const ProgramResult pixels = RunProgram("/usr/bin/convert", {shot, "-crop", geometry, "txt:-"});
    std::string runs;
    std::istringstream lines(pixels.out);
    for (std::string line; std::getline(lines, line);) {
        const auto open = line.find('(');
        if (open == std::string::npos || line.starts_with("#")) {
            continue;
        }
        int r = 0;
        int g = 0;
        int b = 0;
        if (std::sscanf(line.c_str() + open, "(%d,%d,%d", &r, &g, &b) != 3) {
            continue;
        }
        const char colour = g > 180 && r < 120 ? 'g' : r > 180 && g < 120 && b < 120 ? 'r' : '.';
        if (colour != '.' && (runs.empty() || runs.back() != colour)) {
            runs += colour;
        } else if (colour == '.' && !runs.empty() && runs.back() != '.') {
            runs += '.';
        }
    }
    std::erase(runs, '.');
    return runs;
}

// The colour in the middle of the tray icon's badge, its lower right
// quarter: 'g' green, 'r' red, '.' anything else.
char BadgeColour(const VirtualDesktop& desktop, const Window& icon, const std::string& shot) {
    RunProgram("/usr/bin/import", {"-window", "root", shot}, {{"DISPLAY", desktop.Display()}});
    const int x = icon.x + icon.width - (icon.width + 2) / 4;
    const int y = icon.y + icon.height - (icon.height + 2) / 4;
    const ProgramResult pixel =
        RunProgram("/usr/bin/convert",
                   {shot, "-crop", "1x1+" + std::to_string(x) + "+" + std::to_string(y), "txt:-"});
    int r = 0;
    int g = 0;
    int b = 0;
    const auto open = pixel.out.find('(', pixel.out.find('\n'));
    if (open == std::string::npos ||
        std::sscanf(pixel.out.c_str() + open, "(%d,%d,%d", &r, &g, &b) != 3) {
        return '.';
    }
    return g > 180 && r < 120 && b < 120 ? 'g' : r > 180 && g < 120 && b < 120 ? 'r' : '.';
}

bool IsOptions(const Window& w) {
    return w.width > 250 && w.height > 500;
}
bool IsMenu(const Window& w) {
    return !IsIcon(w) && !IsBoard(w) && !IsOptions(w) && w.height > 60;
}

void Click(const VirtualDesktop& desktop, const Window& w, int x, int y, const char* button = "1") {
    // A window just mapped may not take clicks yet.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    desktop.XDoTool(
        {"mousemove", "--window", w.id, std::to_string(x), std::to_string(y), "click", button});
}

} // namespace

// The board as the window manager sees it: no maximise and no resize, a
// class that names the desktop entry; hidden in the tray and brought back, it
// comes back where the user had put it.
TEST(Desktop, TheBoardKeepsItsSizeItsPlaceAndItsClass) {
    VirtualDesktop desktop(true);
    if (!desktop.Available()) {
        GTEST_SKIP() << "needs Xvfb, trayer, openbox and xdotool";
    }
    TempDir dir;
    std::map<std::string, std::string> env = desktop.Environment();
    env.insert({{"QT_QPA_PLATFORM", "xcb"}, {"NETVIGIL_REGISTRY", dir / "registry.db"}});
    const pid_t netvigil = StartProgram({BinDir() + "/netvigil"}, env);
    Window board;
    ASSERT_TRUE(WaitFor([&] { return !(board = Find(desktop, IsBoard)).id.empty(); }))
        << "no board among " << Describe(Windows(desktop, false));
    Window icon;
    ASSERT_TRUE(WaitFor([&] { return !(icon = Find(desktop, IsIcon)).id.empty(); }))
        << "no tray icon";
    const std::string actions = desktop.XProp(board.id, "_NET_WM_ALLOWED_ACTIONS");
    EXPECT_NE(actions.find("_NET_WM_ACTION_MOVE"), std::string::npos) << actions;
    EXPECT_EQ(actions.find("MAXIMIZE"), std::string::npos) << actions;
    EXPECT_EQ(actions.find("RESIZE"), std::string::npos) << actions;
    const std::string wmClass = desktop.XProp(board.id, "WM_CLASS");
    EXPECT_NE(wmClass.find("\"org.netvigil.Netvigil\", \"org.netvigil.Netvigil\""),
              std::string::npos)
        << wmClass;

    // Dragged by its background, as the user moves it.
    desktop.XDoTool({"mousemove", "--window", board.id, "100", "150", "mousedown", "1"});
    desktop.XDoTool({"mousemove_relative", "--", "40", "30"});
    desktop.XDoTool({"mousemove_relative", "--", "60", "50", "mouseup", "1"});
    Window moved;
    ASSERT_TRUE(WaitFor([&] {
        moved = Find(desktop, IsBoard);
        return moved.x != board.x || moved.y != board.y;
    })) << "the board did not move from "
        << Describe({board});
    Click(desktop, moved, 78, 8); // Tray
    ASSERT_TRUE(WaitFor([&] { return Find(desktop, IsBoard).id.empty(); }))
        << "Tray left the board showing";
    desktop.XDoTool({"mousemove", std::to_string(icon.x + icon.width / 2),
                     std::to_string(icon.y + icon.height / 2), "click", "3"});
    ASSERT_TRUE(WaitFor([&] { return !Find(desktop, IsMenu).id.empty(); })) << "no tray menu";
    desktop.XDoTool({"key", "Down", "Down", "Down", "Return"});
    Window back;
    ASSERT_TRUE(WaitFor([&] { return !(back = Find(desktop, IsBoard)).id.empty(); }))
        << "Restore From Tray did not show the board";
    EXPECT_EQ(Describe({back}), Describe({moved})) << "first " << Describe({board});
    StopProgram(netvigil);
}

// The whole program on a desktop: three hosts in a network of the test's
// own, one answering at once, one silent and one 100 ms away, as a web host
// is; the lights, the tray and every command.
TEST(Desktop, WholeProgramWithThreeHosts) {
    std::string why;
    if (!EnterPrivateNetwork(&why)) {
        GTEST_SKIP() << why;
    }
    VirtualDesktop desktop(true);
    if (!desktop.Available() || ::access("/usr/bin/import", X_OK) != 0) {
        GTEST_SKIP() << "needs Xvfb, trayer, openbox, xdotool and ImageMagick";
    }
    const LateHosts far({std::nullopt, std::chrono::milliseconds(100)});
    ASSERT_EQ(far.Why(), "");

    TempDir dir;
    std::map<std::string, std::string> env = desktop.Environment();
    env.insert({{"QT_QPA_PLATFORM", "xcb"}, {"NETVIGIL_REGISTRY", dir / "registry.db"}});
    const std::string key = "HKCU\\Software\\Netvigil\\Remote Hosts";
    const std::pair<std::string, std::string> hosts[] = {
        {"one", "127.0.0.1"}, {"silent", far.Address(0)}, {"three", far.Address(1)}};
    for (int n = 1; n <= 20; ++n) {
        const bool named = n <= 3;
        RunProgram(BinDir() + "/netvigil-reg",
                   {"add", key, "/v", "Host " + std::to_string(n), "/d",
                    named ? hosts[n - 1].first : "", "/f"},
                   env);
        RunProgram(BinDir() + "/netvigil-reg",
                   {"add", key, "/v", "IP Address " + std::to_string(n), "/d",
                    named ? hosts[n - 1].second : "", "/f"},
                   env);
    }

    // Orphans come to this process, so that none can slip away unseen.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    const int desktopProcesses = ChildProcessCount();
    const pid_t netvigil = StartProgram({BinDir() + "/netvigil"}, env);
    Window board;
    ASSERT_TRUE(WaitFor([&] { return !(board = Find(desktop, IsBoard)).id.empty(); }))
        << "no board among " << Describe(Windows(desktop, false))
        << " visible: " << Describe(Windows(desktop, true));
    EXPECT_TRUE(WaitFor([&] { return !Find(desktop, IsIcon).id.empty(); })) << "no tray icon";

    // After the first sweep: green, red, green, where the rows are.
    EXPECT_TRUE(
        WaitFor([&] { return LightColours(desktop, board, dir / "board.png") == "grg"; }, 12))
        << LightColours(desktop, board, dir / "board.png");

    // Stop, then Resume (which takes Stop's place on the menu bar).
    Click(desktop, board, 115, 8);
    Click(desktop, board, 115, 8);
    // Options, then Cancel in the options window.
    Click(desktop, board, 30, 8);
    Window options;
    ASSERT_TRUE(WaitFor([&] { return !(options = Find(desktop, IsOptions)).id.empty(); }))
        << "no options";
    Click(desktop, options, 115, 8); // "Save Options", then "Cancel"
    EXPECT_TRUE(WaitFor([&] { return Find(desktop, IsOptions).id.empty(); }))
        << "Cancel left it open";

    // Tray: the board goes; a right click on the icon brings the tray menu,
    // whose Restore From Tray brings the board back.
    Click(desktop, board, 78, 8);
    EXPECT_TRUE(WaitFor([&] { return Find(desktop, IsBoard).id.empty(); }))
        << "Tray left the board showing";
    const Window icon = Find(desktop, IsIcon);
    desktop.XDoTool({"mousemove", std::to_string(icon.x + icon.width / 2),
                     std::to_string(icon.y + icon.height / 2), "click", "3"});
    ASSERT_TRUE(WaitFor([&] { return !Find(desktop, IsMenu).id.empty(); })) << "no tray menu";
    desktop.XDoTool({"key", "Down", "Down", "Down", "Return"});
    EXPECT_TRUE(
        WaitFor([&] { return LightColours(desktop, board, dir / "back.png").size() == 3; }));

    // Tray again, and the tray menu's Exit: the orderly way out.
    Click(desktop, board, 78, 8);
    EXPECT_TRUE(WaitFor([&] { return Find(desktop, IsBoard).id.empty(); }))
        << "Tray left the board showing";
    desktop.XDoTool({"mousemove", std::to_string(icon.x + icon.width / 2),
                     std::to_string(icon.y + icon.height / 2), "click", "3"});
    ASSERT_TRUE(WaitFor([&] { return !Find(desktop, IsMenu).id.empty(); })) << "no tray menu";
    desktop.XDoTool({"key", "Up", "Return"});
    ExpectEnded(desktop, netvigil);
    EXPECT_TRUE(WaitForChildCount(desktopProcesses)) << "the program left a child behind";
}

// On the XEmbed tray: the icon's badge is red while a flagged host is
// silent and turns green once it answers; once it has answered two sweeps,
// Qt's balloon says so, and a click on the balloon brings the board back.
TEST(Desktop, BadgeAndBalloonOnTheXEmbedTray) {
    std::string why;
    if (!EnterPrivateNetwork(&why)) {
        GTEST_SKIP() << why;
    }
    VirtualDesktop desktop(true);
    if (!desktop.Available() || ::access("/usr/bin/import", X_OK) != 0) {
        GTEST_SKIP() << "needs Xvfb, trayer, openbox, xdotool and ImageMagick";
    }
    // Loopback of the test's own network, silent until told otherwise.
    ASSERT_TRUE(WriteSysctl("net.ipv4.icmp_echo_ignore_all", "1"));
    TempDir dir;
    std::map<std::string, std::string> env = desktop.Environment();
    env.insert({{"QT_QPA_PLATFORM", "xcb"},
                {"NETVIGIL_REGISTRY", dir / "registry.db"},
                {"XDG_STATE_HOME", dir.Path()}});
    const std::string key = "HKCU\\Software\\Netvigil\\Remote Hosts";
    // Two named hosts, so that the board is as tall as IsBoard expects.
    for (int n = 1; n <= 20; ++n) {
        const std::string slot = std::to_string(n);
        RunProgram(BinDir() + "/netvigil-reg",
                   {"add", key, "/v", "Host " + slot, "/d",
                    n == 1   ? "one"
                    : n == 2 ? "two"
                             : "",
                    "/f"},
                   env);
        RunProgram(BinDir() + "/netvigil-reg",
                   {"add", key, "/v", "IP Address " + slot, "/d",
                    n == 1   ? "127.0.0.1"
                    : n == 2 ? "127.0.0.2"
                             : "",
                    "/f"},
                   env);
    }
    RunProgram(BinDir() + "/netvigil-reg", {"add", key, "/v", "Display Balloon 1", "/d", "1", "/f"},
               env);
    EchoRequests pings("127.0.0.1");
    const pid_t netvigil = StartProgram({BinDir() + "/netvigil", "/hide"}, env);
    Window icon;
    ASSERT_TRUE(WaitFor([&] { return !(icon = Find(desktop, IsIcon)).id.empty(); }))
        << "no tray icon";
    EXPECT_TRUE(WaitFor([&] { return BadgeColour(desktop, icon, dir / "red.png") == 'r'; }))
        << "no red badge";
    // Silent for two sweeps: where the host stood when it was first found.
    ASSERT_TRUE(WaitFor([&] { return pings.Count() >= 2; }, 15)) << pings.Count();

    ASSERT_TRUE(WriteSysctl("net.ipv4.icmp_echo_ignore_all", "0"));
    const auto isBalloon = [](const Window& w) {
        return !IsIcon(w) && !IsBoard(w) && w.width > 60 && w.height > 20;
    };
    // The badge shows the first sweep that the host answered; the balloon
    // waits for the second.
    EXPECT_TRUE(WaitFor([&] { return BadgeColour(desktop, icon, dir / "green.png") == 'g'; }, 15))
        << "no green badge";
    EXPECT_TRUE(Find(desktop, isBalloon).id.empty()) << "a balloon after one answer";
    Window balloon;
    EXPECT_TRUE(WaitFor([&] { return !(balloon = Find(desktop, isBalloon)).id.empty(); }, 15))
        << "no balloon among " << Describe(Windows(desktop, true));
    if (!balloon.id.empty()) {
        Click(desktop, balloon, balloon.width / 2, balloon.height / 2);
        EXPECT_TRUE(WaitFor([&] { return !Find(desktop, IsBoard).id.empty(); }))
            << "the balloon's click did not bring the board back";
    }
    StopProgram(netvigil);
}
