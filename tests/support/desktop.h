#pragma once

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_support {

// An X server of the test's own (Xvfb) with a session bus of its own, a
// notification-area host (trayer) unless told otherwise, and a window manager
// (openbox) when asked for. Available() is false where the programs are not
// installed; everything ends with the object.
class VirtualDesktop {
public:
    explicit VirtualDesktop(bool windowManager, bool trayHost = true);
    ~VirtualDesktop();
    VirtualDesktop(const VirtualDesktop&) = delete;
    VirtualDesktop& operator=(const VirtualDesktop&) = delete;

    bool Available() const { return !m_display.empty(); }
    const std::string& Display() const { return m_display; }
    const std::string& BusAddress() const { return m_bus; }
    // DISPLAY and DBUS_SESSION_BUS_ADDRESS, for the programs a test starts:
    // with no session bus of its own, Qt would launch one that outlives it.
    std::map<std::string, std::string> Environment() const;

    // Ends the notification-area host, as a panel that crashes.
    void StopTrayHost();

    // xdotool on this display; its standard output.
    std::string XDoTool(const std::vector<std::string>& args) const;
    // A window's property as xprop prints it ("WM_STATE" holds "Iconic" for
    // a minimized window).
    std::string XProp(const std::string& window, const std::string& property) const;

private:
    bool StartBus();

    std::string m_display;
    std::string m_bus;
    std::vector<pid_t> m_processes;
    pid_t m_tray = 0;
};

// Starts a session bus of a test's own (dbus-daemon) and returns its
// address, empty if it did not start; the daemon's process id goes to daemon.
std::string StartSessionBus(pid_t* daemon);

// Whether a tray host owns the notification area of the display.
bool TrayHostPresent(const std::string& display);

// Starts a program in the background; its output goes nowhere, and of this
// process's descriptors it gets only keepFd, if one is named.
pid_t StartProgram(const std::vector<std::string>& args,
                   const std::map<std::string, std::string>& env = {}, int keepFd = -1);
void StopProgram(pid_t pid);

} // namespace testing_support
