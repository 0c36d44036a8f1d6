// Netvigil as a user meets it, in a real X server with a real notification
// area and window manager: started hidden, brought back from the tray menu,
// ended from the menu bar.

#include "desktop.h"
#include "echo_requests.h"
#include "late_hosts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

bool IsOptions(const Window& w) {
    return w.width > 250 && w.height > 500;
}
bool IsMenu(const Window& w) {
    return !IsIcon(w) && !IsBoard(w) && !IsOptions(w) && w.height > 60;
}

// The program ends by itself, cleanly, and takes its windows (the tray icon
// too) with it; one that does not is stopped.
void ExpectEnded(const VirtualDesktop& desktop, pid_t netvigil) {
    const int status = WaitForEnd(netvigil);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << (status == -1 ? "still running" : "ended with status " + std::to_string(status));
    EXPECT_TRUE(desktop.Windows(false).empty()) << "a window (the icon) outlived the program";
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
    const auto env = desktop.NetvigilEnvironment(dir);
    const pid_t netvigil = StartNetvigil(env, {"/hide"});
    Window icon;
    ASSERT_TRUE(WaitFor([&] { return !(icon = desktop.Find(IsIcon)).id.empty(); }))
        << "no tray icon among " << Describe(desktop.Windows(false))
        << " tray host: " << desktop.XDoTool({"search", "--class", "trayer"})
        << " owner: " << TrayHostPresent(desktop.Display());
    for (const Window& w : desktop.Windows()) {
        EXPECT_FALSE(IsBoard(w)) << "the board shows although started hidden";
    }

    // A right click on the icon opens the tray menu; its third item restores.
    desktop.Click(icon, icon.width / 2, icon.height / 2, 3);
    ASSERT_TRUE(WaitFor([&] { return !desktop.Find(IsMenu).id.empty(); })) << "no tray menu";
    desktop.XDoTool({"key", "Down", "Down", "Down", "Return"});
    Window board;
    ASSERT_TRUE(WaitFor([&] { return !(board = desktop.Board()).id.empty(); }))
        << "Restore From Tray did not show the board";

    // The menu bar's Exit: Options, Tray, Stop, Exit from the left.
    desktop.Click(board, board.width - 30, 8);
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
    const auto env = desktop.NetvigilEnvironment(dir);
    const pid_t netvigil = StartNetvigil(env, {"/hide"});
    ASSERT_TRUE(WaitFor([&] { return !desktop.Find(IsIcon).id.empty(); })) << "no tray icon";
    desktop.StopTrayHost();
    std::string state;
    EXPECT_TRUE(WaitFor([&] { return !(state = desktop.MinimizedBoard()).empty(); }))
        << "the board stayed hidden with no tray to come back from";
    EXPECT_EQ(state.find("SKIP_TASKBAR"), std::string::npos) << state;
    StopProgram(netvigil);
}

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
    const auto env = desktop.NetvigilEnvironment(dir);
    const pid_t netvigil = StartNetvigil(env);
    Window board;
    ASSERT_TRUE(WaitFor([&] { return !(board = desktop.Board()).id.empty(); }))
        << "no board among " << Describe(desktop.Windows(false));
    Window icon;
    ASSERT_TRUE(WaitFor([&] { return !(icon = desktop.Find(IsIcon)).id.empty(); }))
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
        moved = desktop.Board();
        return moved.x != board.x || moved.y != board.y;
    })) << "the board did not move from "
        << Describe({board});
    desktop.Click(moved, 78, 8); // Tray
    ASSERT_TRUE(WaitFor([&] { return desktop.Board().id.empty(); }))
        << "Tray left the board showing";
    desktop.Click(icon, icon.width / 2, icon.height / 2, 3);
    ASSERT_TRUE(WaitFor([&] { return !desktop.Find(IsMenu).id.empty(); })) << "no tray menu";
    desktop.XDoTool({"key", "Down", "Down", "Down", "Return"});
    Window back;
    ASSERT_TRUE(WaitFor([&] { return !(back = desktop.Board()).id.empty(); }))
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
    const auto env = desktop.NetvigilEnvironment(dir);
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
    const pid_t netvigil = StartNetvigil(env);
    Window board;
    ASSERT_TRUE(WaitFor([&] { return !(board = desktop.Board()).id.empty(); }))
        << "no board among " << Describe(desktop.Windows(false))
        << " visible: " << Describe(desktop.Windows());
    EXPECT_TRUE(WaitFor([&] { return !desktop.Find(IsIcon).id.empty(); })) << "no tray icon";

    // After the first sweep: green, red, green, where the rows are.
    EXPECT_TRUE(
        WaitFor([&] { return LightColours(desktop, board, dir / "board.png") == "grg"; }, 30s))
        << LightColours(desktop, board, dir / "board.png");

    // Stop, then Resume (which takes Stop's place on the menu bar).
    desktop.Click(board, 115, 8);
    desktop.Click(board, 115, 8);
    // Options, then Cancel in the options window.
    desktop.Click(board, 30, 8);
    Window options;
    ASSERT_TRUE(WaitFor([&] { return !(options = desktop.Find(IsOptions)).id.empty(); }))
        << "no options";
    desktop.Click(options, 115, 8); // "Save Options", then "Cancel"
    EXPECT_TRUE(WaitFor([&] { return desktop.Find(IsOptions).id.empty(); }))
        << "Cancel left it open";

    // Tray: the board goes; a right click on the icon brings the tray menu,
    // whose Restore From Tray brings the board back.
    desktop.Click(board, 78, 8);
    EXPECT_TRUE(WaitFor([&] { return desktop.Board().id.empty(); }))
        << "Tray left the board showing";
    const Window icon = desktop.Find(IsIcon);
    desktop.Click(icon, icon.width / 2, icon.height / 2, 3);
    ASSERT_TRUE(WaitFor([&] { return !desktop.Find(IsMenu).id.empty(); })) << "no tray menu";
    desktop.XDoTool({"key", "Down", "Down", "Down", "Return"});
    EXPECT_TRUE(
        WaitFor([&] { return LightColours(desktop, board, dir / "back.png").size() == 3; }));

    // Tray again, and the tray menu's Exit: the orderly way out.
    desktop.Click(board, 78, 8);
    EXPECT_TRUE(WaitFor([&] { return desktop.Board().id.empty(); }))
        << "Tray left the board showing";
    desktop.Click(icon, icon.width / 2, icon.height / 2, 3);
    ASSERT_TRUE(WaitFor([&] { return !desktop.Find(IsMenu).id.empty(); })) << "no tray menu";
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
    const auto env = desktop.NetvigilEnvironment(dir);
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
    const pid_t netvigil = StartNetvigil(env, {"/hide"});
    Window icon;
    ASSERT_TRUE(WaitFor([&] { return !(icon = desktop.Find(IsIcon)).id.empty(); }))
        << "no tray icon";
    EXPECT_TRUE(WaitFor([&] { return BadgeColour(desktop, icon, dir / "red.png") == 'r'; }))
        << "no red badge";
    // Silent for two sweeps: where the host stood when it was first found.
    ASSERT_TRUE(WaitFor([&] { return pings.Count() >= 2; }, 15s)) << pings.Count();

    ASSERT_TRUE(WriteSysctl("net.ipv4.icmp_echo_ignore_all", "0"));
    const auto isBalloon = [](const Window& w) {
        return !IsIcon(w) && !IsBoard(w) && w.width > 60 && w.height > 20;
    };
    // The badge shows the first sweep that the host answered; the balloon
    // waits for the second.
    EXPECT_TRUE(WaitFor([&] { return BadgeColour(desktop, icon, dir / "green.png") == 'g'; }, 15s))
        << "no green badge";
    EXPECT_TRUE(desktop.Find(isBalloon).id.empty()) << "a balloon after one answer";
    Window balloon;
    EXPECT_TRUE(WaitFor([&] { return !(balloon = desktop.Find(isBalloon)).id.empty(); }, 15s))
        << "no balloon among " << Describe(desktop.Windows());
    if (!balloon.id.empty()) {
        desktop.Click(balloon, balloon.width / 2, balloon.height / 2);
        EXPECT_TRUE(WaitFor([&] { return !desktop.Board().id.empty(); }))
            << "the balloon's click did not bring the board back";
    }
    StopProgram(netvigil);
}
