#include "desktop.h"

#include "test_support.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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

void StopProgram(pid_t pid) {
    if (pid > 0 && ::kill(pid, SIGTERM) == 0) {
        ::waitpid(pid, nullptr, 0);
    }
}

namespace {

bool SelectionOwned(const std::string& display, const char* name) {
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    bool present = false;
    if (xcb_connection_has_error(c) == 0) {
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
        if (atom != nullptr) {
            xcb_get_selection_owner_reply_t* owner =
                xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr);
            present = owner != nullptr && owner->owner != XCB_NONE;
            std::free(owner);
        }
        std::free(atom);
    }
    xcb_disconnect(c);
    return present;
}

bool WaitForSelection(const std::string& display, const char* name) {
    for (int i = 0; i < 150; ++i) {
        if (SelectionOwned(display, name)) {
            return true;
        }
        ::usleep(20000);
    }
    return false;
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

void VirtualDesktop::StopTrayHost() {
    StopProgram(m_tray);
    std::erase(m_processes, m_tray);
    m_tray = 0;
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
    // Xvfb picks a free display itself and says which once it is ready. It
    // must not reset when its last client goes: the waits below connect and
    // disconnect, and a window manager connecting during a reset is turned
    // away and ends.
    int ready[2];
    if (::pipe(ready) != 0) {
        return;
    }
    const pid_t server = StartProgram({"Xvfb", "-displayfd", std::to_string(ready[1]), "-screen",
                                       "0", "1024x768x24", "-nolisten", "tcp", "-noreset"},
                                      {}, ready[1]);
    ::close(ready[1]);
    m_processes.push_back(server);
    const std::string number = ReadLine(ready[0]);
    ::close(ready[0]);
    if (number.empty() || !StartBus()) {
        return;
    }
    const std::string display = ":" + number;
    const std::map<std::string, std::string> env = {{"DISPLAY", display},
                                                    {"DBUS_SESSION_BUS_ADDRESS", m_bus}};
    if (windowManager) {
        m_processes.push_back(StartProgram({"openbox"}, env));
        WaitForSelection(display, "WM_S0");
    }
    if (!trayHost) {
        m_display = display;
        return;
    }
    // trayer now and then fails to start beside a starting window manager:
    // give it a few chances to take the notification area.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const pid_t tray = StartProgram({"trayer", "--edge", "top", "--align", "right",
                                         "--widthtype", "pixel", "--width", "120"},
                                        env);
        if (WaitForSelection(display, "_NET_SYSTEM_TRAY_S0")) {
            m_processes.push_back(tray);
            m_tray = tray;
            // The host sets up its window a moment after taking the selection.
            ::usleep(300000);
            m_display = display;
            return;
        }
        StopProgram(tray);
    }
}

VirtualDesktop::~VirtualDesktop() {
    for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it) {
        StopProgram(*it);
    }
}

std::string VirtualDesktop::XDoTool(const std::vector<std::string>& args) const {
    return RunProgram("/usr/bin/xdotool", args, {{"DISPLAY", m_display}}).out;
}

std::string VirtualDesktop::XProp(const std::string& window, const std::string& property) const {
    return RunProgram("/usr/bin/xprop", {"-id", window, property}, {{"DISPLAY", m_display}}).out;
}

} // namespace testing_support
