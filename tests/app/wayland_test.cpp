// Netvigil on a Wayland desktop: weston with its headless backend, with and
// without Xwayland, each with a session bus and a runtime folder of its own.
// Where the session offers X11 the board is an X11 client, else a native
// Wayland one that says once what it cannot do there; a user's own
// QT_QPA_PLATFORM always stands.

#include "desktop.h"

#include <gtest/gtest.h>

#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;

namespace {

constexpr const char* kNotice = "Netvigil: on this Wayland desktop";

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

class Wayland : public ::testing::Test {
protected:
    // Netvigil ends before its display server does.
    void TearDown() override { StopProgram(m_netvigil); }

    bool StartWeston(bool xwayland) {
        m_weston = std::make_unique<Weston>(xwayland);
        return m_weston->Available();
    }
    // Netvigil with a fresh store, its standard error (where Wayland's own
    // protocol trace goes too) kept, and a ping that notes, a line each time
    // it runs, the platform its Qt would be told to use. A sweep runs it once
    // for each of the twenty slots.
    void Start(std::map<std::string, std::string> env = {}) {
        WriteFileBytes(m_libexec / "ping",
                       "#!/bin/sh\necho \"${QT_QPA_PLATFORM-unset}\" >> \"" + Noted() + "\"\n");
        ::chmod((m_libexec / "ping").c_str(), 0755);
        env.merge(m_weston->Environment());
        env.insert({{"NETVIGIL_REGISTRY", m_dir / "registry.db"},
                    {"NETVIGIL_LIBEXEC", m_libexec.Path()},
                    {"WAYLAND_DEBUG", "client"}});
        m_netvigil = StartProgram(
            {"/bin/sh", "-c", "exec \"$0\" 2>\"$1\"", BinDir() + "/netvigil", Errors()}, env);
    }
    std::string Errors() const { return m_dir / "errors.txt"; }
    std::string Noted() const { return m_dir / "noted"; }
    // A toplevel surface configured by the compositor and given its picture.
    bool MappedNatively() const {
        const std::string trace = ReadFileBytes(Errors());
        return trace.find("xdg_toplevel@") != std::string::npos &&
               trace.find("ack_configure") != std::string::npos &&
               trace.find(".attach(wl_buffer@") != std::string::npos;
    }
    bool Running() const { return ::waitpid(m_netvigil, nullptr, WNOHANG) == 0; }

    // Whatever the session that runs the tests has, each test starts from
    // its own display server only.
    ScopedEnv m_noDisplay{"DISPLAY", std::nullopt};
    ScopedEnv m_noWayland{"WAYLAND_DISPLAY", std::nullopt};
    ScopedEnv m_noPlatform{"QT_QPA_PLATFORM", std::nullopt};
    ScopedEnv m_noSession{"XDG_SESSION_TYPE", std::nullopt};
    TempDir m_dir;
    TempDir m_libexec;
    std::unique_ptr<Weston> m_weston;
    pid_t m_netvigil = 0;
};

TEST_F(Wayland, WithXwaylandTheBoardIsAnX11Client) {
    if (!StartWeston(true)) {
        GTEST_SKIP() << "needs weston, Xwayland and dbus-daemon";
    }
    Start();
    ASSERT_TRUE(WaitFor([&] { return !NetvigilWindows(m_weston->X11Display()).empty(); }))
        << "no board on the X11 side\n"
        << ReadFileBytes(Errors());
    EXPECT_TRUE(Running());
    EXPECT_EQ(ReadFileBytes(Errors()).find("xdg_toplevel@"), std::string::npos)
        << "a Wayland window too";
    EXPECT_EQ(ReadFileBytes(Errors()).find(kNotice), std::string::npos);
    // The programs Netvigil starts keep the user's environment.
    ASSERT_TRUE(WaitFor([&] { return !ReadFileBytes(Noted()).empty(); })) << "no sweep";
    EXPECT_TRUE(ReadFileBytes(Noted()).starts_with("unset\n")) << ReadFileBytes(Noted());
}

TEST_F(Wayland, WithoutX11TheBoardIsNativeAndSaysOnceWhatItCannotDo) {
    if (!StartWeston(false)) {
        GTEST_SKIP() << "needs weston and dbus-daemon";
    }
    Start();
    ASSERT_TRUE(WaitFor([&] { return MappedNatively(); })) << ReadFileBytes(Errors());
    // Past the first sweep, once the second has begun: still running, said once.
    EXPECT_TRUE(WaitFor([&] { return Count(ReadFileBytes(Noted()), "\n") > 20; }))
        << "no second sweep";
    EXPECT_TRUE(Running());
    EXPECT_EQ(Count(ReadFileBytes(Errors()), kNotice), 1u);
}

TEST_F(Wayland, TheUsersOwnPlatformStands) {
    if (!StartWeston(true)) {
        GTEST_SKIP() << "needs weston, Xwayland and dbus-daemon";
    }
    Start({{"QT_QPA_PLATFORM", "wayland"}});
    ASSERT_TRUE(WaitFor([&] { return MappedNatively(); })) << ReadFileBytes(Errors());
    EXPECT_TRUE(NetvigilWindows(m_weston->X11Display()).empty());
    EXPECT_EQ(Count(ReadFileBytes(Errors()), kNotice), 1u);
}

} // namespace
