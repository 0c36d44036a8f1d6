#include "desktop.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace testing_support {

pid_t StartProgram(const std::vector<std::string>& args,
                   const std::map<std::string, std::string>& env, int keepFd) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        for (int fd = 3; fd < 1024; ++fd) {
            if (fd != keepFd) {
                ::close(fd);
            }
        }
        for (const auto& [key, value] : env) {
            ::setenv(key.c_str(), value.c_str(), 1);
        }
        std::vector<char*> argv;
        for (const auto& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

pid_t StartNetvigil(const std::map<std::string, std::string>& env,
                    const std::vector<std::string>& args) {
    std::vector<std::string> command = {BinDir() + "/netvigil"};
    command.insert(command.end(), args.begin(), args.end());
    return StartProgram(command, env);
}

void StopProgram(pid_t pid) {
    if (pid > 0 && ::kill(pid, SIGTERM) == 0) {
        ::waitpid(pid, nullptr, 0);
    }
}

int WaitForEnd(pid_t pid, std::chrono::milliseconds limit) {
    int status = -1;
    return WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, limit) ? status : -1;
}

int NetvigilsRunning() {
    const auto program = std::filesystem::canonical(BinDir() + "/netvigil");
    const std::string self = std::to_string(::getpid());
    int count = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        if (std::filesystem::read_symlink(entry.path() / "exe", error) != program) {
            continue;
        }
        // "pid (name) state ppid ...": the name may hold blanks and brackets.
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const auto close = line.rfind(')');
        std::string state;
        std::string parent;
        if (close != std::string::npos) {
            std::istringstream(line.substr(close + 1)) >> state >> parent;
        }
        count += parent == self;
    }
    return count;
}

namespace {

bool SelectionOwned(const std::string& display, const char* name) {
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    bool owned = false;
    if (xcb_connection_has_error(c) == 0) {
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
        if (atom != nullptr) {
            xcb_get_selection_owner_reply_t* owner =
                xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr);
            owned = owner != nullptr && owner->owner != XCB_NONE;
            std::free(owner);
        }
        std::free(atom);
    }
    xcb_disconnect(c);
    return owned;
}

std::string LockFile(int display) {
    return "/tmp/.X" + std::to_string(display) + "-lock";
}

// A display number of the desktop's own. Xvfb would take the first number
// free in its network namespace, and each namespace has them all: servers in
// two namespaces would share a number, and the files named after it (the
// keymap Xvfb compiles to /var/lib/xkb/server-N.xkm; the lock; the socket
// file). The lock file, which every X server keeps or heeds, is shared by
// all: the number is the first from 100 whose lock this process makes (a
// server that takes the first number free in its own network stays below).
int ClaimDisplay() {
    for (int number = 100; number < 1000; ++number) {
        const int fd = ::open(LockFile(number).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0444);
        if (fd >= 0) {
            // As an X server writes it: its process, ten characters wide.
            char pid[16];
            const int length = std::snprintf(pid, sizeof pid, "%10d\n", ::getpid());
            const bool written = ::write(fd, pid, static_cast<std::size_t>(length)) == length;
            ::close(fd);
            if (!written) {
                ::unlink(LockFile(number).c_str());
                return -1;
            }
            return number;
        }
    }
    return -1;
}

// Reads the one line a starting program writes to the pipe it was given.
std::string ReadLine(int fd) {
    std::string line;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n') {
        line += c;
    }
    return line;
}

} // namespace

bool TrayHostPresent(const std::string& display) {
    return SelectionOwned(display, "_NET_SYSTEM_TRAY_S0");
}

std::string StartSessionBus(pid_t* daemon) {
    int ready[2];
    if (::pipe(ready) != 0) {
        return {};
    }
    const std::string fd = std::to_string(ready[1]);
    *daemon = StartProgram(
        {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=" + fd}, {},
        ready[1]);
    ::close(ready[1]);
    std::string address = ReadLine(ready[0]);
    ::close(ready[0]);
    return address;
}

bool VirtualDesktop::StartBus() {
    pid_t bus = 0;
    m_bus = StartSessionBus(&bus);
    m_processes.push_back(bus);
    return !m_bus.empty();
}

std::map<std::string, std::string> VirtualDesktop::Environment() const {
    return {{"DISPLAY", m_display}, {"DBUS_SESSION_BUS_ADDRESS", m_bus}};
}

std::map<std::string, std::string> VirtualDesktop::NetvigilEnvironment(const TempDir& dir) const {
    std::map<std::string, std::string> env = Environment();
    env.insert({{"QT_QPA_PLATFORM", "xcb"},
                {"NETVIGIL_REGISTRY", dir / "registry.db"},
                {"XDG_STATE_HOME", dir.Path()}});
    return env;
}

void VirtualDesktop::StopTrayHost() {
    StopProgram(m_tray);
    std::erase(m_processes, m_tray);
    m_tray = 0;
}

// The notification area is ready once trayer has taken it and mapped its
// panel; a trayer that ends before is no tray host.
bool VirtualDesktop::StartTrayHost(const std::map<std::string, std::string>& env) {
    const std::string display = env.at("DISPLAY");
    const auto ready = [&] {
        return SelectionOwned(display, "_NET_SYSTEM_TRAY_S0") &&
               !RunProgram("/usr/bin/xdotool", {"search", "--onlyvisible", "--class", "trayer"},
                           {{"DISPLAY", display}})
                    .out.empty();
    };
    const pid_t tray = StartProgram(
        {"trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "120"},
        env);
    bool ended = false;
    WaitFor([&] { return ready() || (ended = ::waitpid(tray, nullptr, WNOHANG) == tray); });
    if (ended || !ready()) {
        if (!ended) {
            StopProgram(tray);
        }
        return false;
    }
    m_processes.push_back(tray);
    m_tray = tray;
    return true;
}

VirtualDesktop::VirtualDesktop(bool windowManager, bool trayHost) {
    for (const char* program :
         {"/usr/bin/Xvfb", "/usr/bin/trayer", "/usr/bin/xdotool", "/usr/bin/dbus-daemon"}) {
        if (::access(program, X_OK) != 0) {
            return;
        }
    }
    if (windowManager && ::access("/usr/bin/openbox", X_OK) != 0) {
        return;
    }
    // Xvfb says once it is ready. It must not reset when its last client
    // goes: the waits below connect and disconnect, and a window manager
    // connecting during a reset is turned away and ends. It listens in its
    // network namespace alone, on no file.
    const int number = ClaimDisplay();
    if (number < 0) {
        return;
    }
    m_lock = LockFile(number);
    int ready[2];
    if (::pipe(ready) != 0) {
        return;
    }
    const pid_t server = StartProgram(
        {"Xvfb", ":" + std::to_string(number), "-displayfd", std::to_string(ready[1]), "-screen",
         "0", "1024x768x24", "-nolisten", "tcp", "-nolisten", "unix", "-nolock", "-noreset"},
        {}, ready[1]);
    ::close(ready[1]);
    m_processes.push_back(server);
    const bool started = !ReadLine(ready[0]).empty();
    ::close(ready[0]);
    if (!started || !StartBus()) {
        return;
    }
    const std::string display = ":" + std::to_string(number);
    const std::map<std::string, std::string> env = {{"DISPLAY", display},
                                                    {"DBUS_SESSION_BUS_ADDRESS", m_bus}};
    // openbox takes its selection long before it is ready for windows: a
    // panel mapped in between is lost, and trayer never shows. Its theme's
    // name is the last of what it sets on the root window as it starts.
    if (windowManager) {
        m_processes.push_back(StartProgram({"openbox"}, env));
        if (!WaitFor([&] {
                return RunProgram("/usr/bin/xprop", {"-root", "_OB_THEME"}, env).out.find('=') !=
                       std::string::npos;
            })) {
            return;
        }
    }
    if (!trayHost || StartTrayHost(env)) {
        m_display = display;
    }
}

VirtualDesktop::~VirtualDesktop() {
    for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it) {
        StopProgram(*it);
    }
    if (!m_lock.empty()) {
        ::unlink(m_lock.c_str());
    }
}

std::string VirtualDesktop::XDoTool(const std::vector<std::string>& args) const {
    return RunProgram("/usr/bin/xdotool", args, {{"DISPLAY", m_display}}).out;
}

std::string VirtualDesktop::XProp(const std::string& window, const std::string& property) const {
    return RunProgram("/usr/bin/xprop", {"-id", window, property}, {{"DISPLAY", m_display}}).out;
}

Window VirtualDesktop::Find(const std::function<bool(const Window&)>& is) const {
    for (const Window& w : Windows()) {
        if (is(w)) {
            return w;
        }
    }
    return {};
}

std::string VirtualDesktop::MinimizedBoard() const {
    for (const Window& w : Windows(false)) {
        if (IsBoard(w)) {
            const std::string state = XProp(w.id, "WM_STATE");
            if (state.find("Iconic") != std::string::npos) {
                return state + XProp(w.id, "_NET_WM_STATE");
            }
        }
    }
    return {};
}

void VirtualDesktop::Click(const Window& w, int x, int y, int button) const {
    XDoTool({"mousemove", "--window", w.id, std::to_string(x), std::to_string(y), "click",
             std::to_string(button)});
}

bool IsBoard(const Window& w) {
    return w.width >= 190 && w.width <= 210 && w.height > 60;
}

bool IsIcon(const Window& w) {
    return w.width <= 32 && w.height <= 32 && w.y < 40 && w.x > 800;
}

std::string Describe(const std::vector<Window>& windows) {
    std::string text;
    for (const Window& w : windows) {
        text += w.id + " at " + std::to_string(w.x) + "," + std::to_string(w.y) + " " +
                std::to_string(w.width) + "x" + std::to_string(w.height) + "; ";
    }
    return text;
}

std::vector<Window> NetvigilWindows(const std::string& display, bool mappedOnly) {
    const std::map<std::string, std::string> env = {{"DISPLAY", display}};
    std::vector<std::string> args = {"search"};
    if (mappedOnly) {
        args.push_back("--onlyvisible");
    }
    args.insert(args.end(), {"--class", "netvigil"});
    std::istringstream ids(RunProgram("/usr/bin/xdotool", args, env).out);
    std::vector<Window> windows;
    for (std::string id; ids >> id;) {
        Window w{id};
        std::istringstream shell(
            RunProgram("/usr/bin/xdotool", {"getwindowgeometry", "--shell", id}, env).out);
        for (std::string line; std::getline(shell, line);) {
            const auto eq = line.find('=');
            const std::string key = line.substr(0, eq);
            const int value = eq == std::string::npos ? 0 : std::atoi(line.c_str() + eq + 1);
            for (auto [name, field] :
                 {std::pair{"X", &w.x}, std::pair{"Y", &w.y}, std::pair{"WIDTH", &w.width},
                  std::pair{"HEIGHT", &w.height}}) {
                if (key == name) {
                    *field = value;
                }
            }
        }
        windows.push_back(w);
    }
    return windows;
}

Weston::Weston(bool xwayland) {
    if (::access("/usr/bin/weston", X_OK) != 0 || ::access("/usr/bin/dbus-daemon", X_OK) != 0 ||
        (xwayland && ::access("/usr/bin/Xwayland", X_OK) != 0)) {
        return;
    }
    // XDG_RUNTIME_DIR must be the user's alone (XDG Base Directory); weston
    // and Qt complain of any other mode.
    ::chmod(m_runtime.Path().c_str(), 0700);
    m_bus = StartSessionBus(&m_busDaemon);
    std::vector<std::string> args = {"weston", "--backend=headless-backend.so",
                                     "--socket=wayland-netvigil", "--idle-time=0",
                                     "--log=" + Log()};
    if (xwayland) {
        args.emplace_back("--xwayland");
    }
    m_weston = StartProgram(
        args, {{"XDG_RUNTIME_DIR", m_runtime.Path()}, {"DBUS_SESSION_BUS_ADDRESS", m_bus}});
    const bool ready = WaitFor([&] {
        if (::access((m_runtime / "wayland-netvigil").c_str(), F_OK) != 0) {
            return false;
        }
        if (!xwayland) {
            return true;
        }
        const std::string log = ReadFileBytes(Log());
        const std::string listening = "xserver listening on display ";
        const auto at = log.find(listening);
        const auto end = log.find('\n', at);
        if (at == std::string::npos || end == std::string::npos) {
            return false;
        }
        m_display = log.substr(at + listening.size(), end - at - listening.size());
        return true;
    });
    m_available = ready && !m_bus.empty();
}

Weston::~Weston() {
    StopProgram(m_weston);
    StopProgram(m_busDaemon);
}

std::map<std::string, std::string> Weston::Environment() const {
    std::map<std::string, std::string> env = {{"XDG_RUNTIME_DIR", m_runtime.Path()},
                                              {"WAYLAND_DISPLAY", "wayland-netvigil"},
                                              {"DBUS_SESSION_BUS_ADDRESS", m_bus}};
    if (!m_display.empty()) {
        env["DISPLAY"] = m_display;
    }
    return env;
}

} // namespace testing_support
