// One Netvigil per user session, on a real X desktop: a later start hands
// its request to the running one and ends; a killed one blocks nothing; each
// user and each display has its own.

#include "desktop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;

namespace {

int Boards(const VirtualDesktop& desktop) {
    return static_cast<int>(std::ranges::count_if(desktop.Windows(), IsBoard));
}
int Icons(const VirtualDesktop& desktop) {
    return static_cast<int>(std::ranges::count_if(desktop.Windows(), IsIcon));
}

// Orphans come to the test, so that a start that leaves a copy of itself
// behind is counted among the programs running.
class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }
};

// A later start's exit status; -1 when it does not end by itself.
int Later(const std::map<std::string, std::string>& env,
          const std::vector<std::string>& args = {}) {
    const pid_t pid = StartNetvigil(env, args);
    const int status = WaitForEnd(pid);
    if (status == -1) {
        StopProgram(pid);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SingleInstance, LaterStartsAndAKilledOne) {
    VirtualDesktop desktop(true);
    if (!desktop.Available()) {
        GTEST_SKIP() << "needs Xvfb, trayer, openbox and xdotool";
    }
    TempDir dir;
    const auto env = desktop.NetvigilEnvironment(dir);
    pid_t first = StartNetvigil(env, {"/hide"});
    ASSERT_TRUE(WaitFor([&] { return Icons(desktop) == 1; })) << "no tray icon";

    // Hidden asked again: it stays hidden; asked plainly, the board comes
    // back. Either later start ends at once and leaves one program running.
    EXPECT_EQ(Later(env, {"/HIDE"}), 0);
    EXPECT_EQ(Boards(desktop), 0) << "a later /HIDE brought the board back";
    EXPECT_EQ(Later(env), 0);
    EXPECT_TRUE(WaitFor([&] { return Boards(desktop) == 1; })) << "the board stayed hidden";
    EXPECT_EQ(Icons(desktop), 1) << "a second tray icon";
    EXPECT_EQ(NetvigilsRunning(), 1);

    // Killed, it leaves nothing behind that stops the next start.
    ::kill(first, SIGKILL);
    ::waitpid(first, nullptr, 0);
    first = StartNetvigil(env, {"/hide"});
    EXPECT_TRUE(WaitFor([&] { return Icons(desktop) == 1 && Boards(desktop) == 0; }))
        << "the start after a killed one did not come up hidden in the tray";
    EXPECT_EQ(NetvigilsRunning(), 1);
    StopProgram(first);
}

TEST_F(SingleInstance, EachUserAndDisplayHasItsOwn) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to start the program as another user";
    }
    VirtualDesktop desktop(true);
    VirtualDesktop second(false, false);
    if (!desktop.Available() || !second.Available()) {
        GTEST_SKIP() << "needs Xvfb, trayer, openbox and xdotool";
    }
    TempDir dir;
    const auto env = desktop.NetvigilEnvironment(dir);
    std::vector<pid_t> started{StartNetvigil(env, {"/hide"})};
    ASSERT_TRUE(WaitFor([&] { return Icons(desktop) == 1; })) << "no tray icon";

    // Another user on the same display has a Netvigil of their own, which
    // takes no request of this user's.
    TempDir other;
    ::chmod(other.Path().c_str(), 0777);
    std::map<std::string, std::string> nobody = env;
    nobody["NETVIGIL_REGISTRY"] = other / "registry.db";
    nobody["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=/nonexistent";
    started.push_back(StartProgram({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                    "--clear-groups", BinDir() + "/netvigil"},
                                   nobody));
    EXPECT_TRUE(WaitFor([&] { return Boards(desktop) == 1; }))
        << "the other user's start showed no board";
    EXPECT_EQ(Later(env), 0);
    EXPECT_TRUE(WaitFor([&] { return Boards(desktop) == 2; }))
        << "this user's board did not come back beside the other user's";

    // Another display of the same user: a session of its own.
    std::map<std::string, std::string> secondEnv = env;
    secondEnv["DISPLAY"] = second.Display();
    secondEnv["DBUS_SESSION_BUS_ADDRESS"] = second.BusAddress();
    started.push_back(StartNetvigil(secondEnv));
    EXPECT_TRUE(WaitFor([&] { return Boards(second) == 1; })) << "no board on the second display";
    EXPECT_EQ(NetvigilsRunning(), 3);

    for (const pid_t pid : started) {
        StopProgram(pid);
    }
}

// Another user who takes this user's name first cannot keep this user's
// Netvigil from starting, nor be asked for its board.
TEST_F(SingleInstance, AnotherUserOnTheNameBlocksNothing) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to hold the name as another user";
    }
    VirtualDesktop desktop(false, false);
    if (!desktop.Available()) {
        GTEST_SKIP() << "needs Xvfb and xdotool";
    }
    const std::string name = "org.netvigil.Netvigil.0." + desktop.Display();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t squatter = ::fork();
    if (squatter == 0) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        name.copy(address.sun_path + 1, sizeof address.sun_path - 2);
        const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
        const bool held = ::setresuid(65534, 65534, 65534) == 0 &&
                          ::bind(fd, reinterpret_cast<const sockaddr*>(&address), size) == 0 &&
                          ::listen(fd, 8) == 0;
        (void)!::write(ready[1], held ? "1" : "0", 1);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char held = '0';
    (void)!::read(ready[0], &held, 1);
    ::close(ready[0]);
    ASSERT_EQ(held, '1') << "the other user could not take the name";

    TempDir dir;
    const pid_t netvigil = StartNetvigil(desktop.NetvigilEnvironment(dir));
    EXPECT_TRUE(WaitFor([&] { return Boards(desktop) == 1; })) << "no board";
    StopProgram(netvigil);
    ::kill(squatter, SIGKILL);
    ::waitpid(squatter, nullptr, 0);
}

} // namespace
