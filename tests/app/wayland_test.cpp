// Netvigil on a Wayland desktop: weston with its headless backend, with and
// without Xwayland, each with a session bus and a runtime folder of its own.
// Where the session offers X11 the board is an X11 client, else a native
// Wayland one that says once what it cannot do there; a user's own
// QT_QPA_PLATFORM always stands.

#include "desktop.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace testing_support;

namespace {

constexpr const char* kSocket = "wayland-netvigil";
constexpr const char* kNotice = "Netvigil: on this Wayland desktop";

template <typename Condition> bool WaitFor(Condition condition, int ms = 15000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

std::string Text(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

// weston on a headless output, and Xwayland (started by weston when an X11
// client first connects) when asked for.
class Weston {
public:
    explicit Weston(bool xwayland) {
        if (::access("/usr/bin/weston", X_OK) != 0 || ::access("/usr/bin/dbus-daemon", X_OK) != 0 ||
            (xwayland && ::access("/usr/bin/Xwayland", X_OK) != 0)) {
            return;
        }
        // XDG_RUNTIME_DIR must be the user's alone (XDG Base Directory);
        // weston and Qt complain of any other mode.
        ::chmod(m_runtime.Path().c_str(), 0700);
        m_bus = StartSessionBus(&m_busDaemon);
        std::vector<std::string> args = {"weston", "--backend=headless-backend.so",
                                         std::string("--socket=") + kSocket, "--idle-time=0",
                                         "--log=" + Log()};
        if (xwayland) {
            args.emplace_back("--xwayland");
        }
        m_weston = StartProgram(
            args, {{"XDG_RUNTIME_DIR", m_runtime.Path()}, {"DBUS_SESSION_BUS_ADDRESS", m_bus}});
        const bool ready = WaitFor([&] {
            if (::access((m_runtime / kSocket).c_str(), F_OK) != 0) {
                return false;
            }
            if (!xwayland) {
                return true;
            }
            const std::string log = Text(Log());
            const auto at = log.find("xserver listening on display ");
            const auto end = log.find('\n', at);
            if (at == std::string::npos || end == std::string::npos) {
                return false;
            }
            m_display = log.substr(at + 29, end - at - 29);
            return true;
        });
        m_available = ready && !m_bus.empty();
    }
    ~Weston() {
        StopProgram(m_weston);
        StopProgram(m_busDaemon);
    }
    Weston(const Weston&) = delete;
    Weston& operator=(const Weston&) = delete;

    bool Available() const { return m_available; }
    std::string Log() const { return m_runtime / "weston.log"; }
    // What a program of this session finds in its environment.
    std::map<std::string, std::string> Environment() const {
        std::map<std::string, std::string> env = {{"XDG_RUNTIME_DIR", m_runtime.Path()},
                                                  {"WAYLAND_DISPLAY", kSocket},
                                                  {"DBUS_SESSION_BUS_ADDRESS", m_bus}};
        if (!m_display.empty()) {
            env["DISPLAY"] = m_display;
        }
        return env;
    }
    // Netvigil's windows mapped on the X11 side.
    std::string X11Windows() const {
        return RunProgram("/usr/bin/xdotool", {"search", "--onlyvisible", "--class", "netvigil"},
                          {{"DISPLAY", m_display}})
            .out;
    }

private:
    TempDir m_runtime;
    std::string m_bus;
    std::string m_display;
    pid_t m_busDaemon = 0;
    pid_t m_weston = 0;
    bool m_available = false;
};

class Wayland : public ::testing::Test {
protected:
    // Netvigil ends before its display server does.
    void TearDown() override { StopProgram(m_netvigil); }

    bool StartWeston(bool xwayland) {
        m_weston = std::make_unique<Weston>(xwayland);
        return m_weston->Available();
    }
    // Netvigil with a fresh store, its standard error (where Wayland's own
    // protocol trace goes too) kept.
    void Start(std::map<std::string, std::string> env) {
        env.merge(m_weston->Environment());
        env.insert({{"NETVIGIL_REGISTRY", m_dir / "registry.db"}, {"WAYLAND_DEBUG", "client"}});
        m_netvigil = StartProgram(
            {"/bin/sh", "-c", "exec \"$0\" 2>\"$1\"", BinDir() + "/netvigil", Errors()}, env);
    }
    std::string Errors() const { return m_dir / "errors.txt"; }
    // A toplevel surface configured by the compositor and given its picture.
    bool MappedNatively() const {
        const std::string trace = Text(Errors());
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
    // A ping that notes the platform its Qt would be told to use: the
    // programs Netvigil starts keep the user's environment.
    const std::string noted = m_libexec / "noted";
    WriteFileBytes(m_libexec / "ping",
                   "#!/bin/sh\necho \"${QT_QPA_PLATFORM-unset}\" > \"" + noted + "\"\n");
    ::chmod((m_libexec / "ping").c_str(), 0755);
    Start({{"NETVIGIL_LIBEXEC", m_libexec.Path()}});
    ASSERT_TRUE(WaitFor([&] { return !m_weston->X11Windows().empty(); }))
        << "no board on the X11 side\n"
        << Text(Errors());
    EXPECT_TRUE(Running());
    EXPECT_EQ(Text(Errors()).find("xdg_toplevel@"), std::string::npos) << "a Wayland window too";
    EXPECT_EQ(Text(Errors()).find(kNotice), std::string::npos);
    ASSERT_TRUE(WaitFor([&] { return !Text(noted).empty(); })) << "no sweep";
    EXPECT_EQ(Text(noted), "unset\n");
}

TEST_F(Wayland, WithoutX11TheBoardIsNativeAndSaysOnceWhatItCannotDo) {
    if (!StartWeston(false)) {
        GTEST_SKIP() << "needs weston and dbus-daemon";
    }
    Start({});
    ASSERT_TRUE(WaitFor([&] { return MappedNatively(); })) << Text(Errors());
    // Well past the first sweeps: still running, said once.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_TRUE(Running());
    EXPECT_EQ(Count(Text(Errors()), kNotice), 1u);
}

TEST_F(Wayland, TheUsersOwnPlatformStands) {
    if (!StartWeston(true)) {
        GTEST_SKIP() << "needs weston, Xwayland and dbus-daemon";
    }
    Start({{"QT_QPA_PLATFORM", "wayland"}});
    ASSERT_TRUE(WaitFor([&] { return MappedNatively(); })) << Text(Errors());
    EXPECT_EQ(m_weston->X11Windows(), "");
    EXPECT_EQ(Count(Text(Errors()), kNotice), 1u);
}

} // namespace
