#pragma once

#include "test_support.h"

#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_support {

// A window of Netvigil's on an X display, where xdotool finds it.
struct Window {
    std::string id;
    int x = 0, y = 0, width = 0, height = 0;
};

// The board is about 197 pixels wide at 96 DPI, however many rows it shows.
bool IsBoard(const Window& w);
// The tray icon, docked in trayer at the top right of the screen.
bool IsIcon(const Window& w);
// Where each window is, for a failure's message.
std::string Describe(const std::vector<Window>& windows);

// Netvigil's windows (X class "netvigil") on a display: the mapped ones, or
// all of them.
std::vector<Window> NetvigilWindows(const std::string& display, bool mappedOnly = true);

// An X server of the test's own (Xvfb) with a session bus of its own, a
// notification-area host (trayer) unless told otherwise, and a window manager
// (openbox) when asked for. Available() is false where the programs are not
// installed; everything ends with the object. The X server is reached only
// from the network namespace it was started in: a test that enters a private
// network does so first.
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
    // What Netvigil gets here: the above, the X11 platform, and a store and
    // a change log of its own in dir.
    std::map<std::string, std::string> NetvigilEnvironment(const TempDir& dir) const;

    // Ends the notification-area host, as a panel that crashes.
    void StopTrayHost();

    // Netvigil's windows on this display.
    std::vector<Window> Windows(bool mappedOnly = true) const {
        return NetvigilWindows(m_display, mappedOnly);
    }
    // The first of Netvigil's mapped windows that passes the test; one with
    // no id if none does.
    Window Find(const std::function<bool(const Window&)>& is) const;
    Window Board() const { return Find(IsBoard); }
    // The board's WM_STATE and _NET_WM_STATE, as xprop prints them, while it
    // is minimized; empty while it is not.
    std::string MinimizedBoard() const;
    // A click at a point of a window.
    void Click(const Window& w, int x, int y, int button = 1) const;

    // xdotool on this display; its standard output.
    std::string XDoTool(const std::vector<std::string>& args) const;
    // A window's property as xprop prints it ("WM_STATE" holds "Iconic" for
    // a minimized window).
    std::string XProp(const std::string& window, const std::string& property) const;

private:
    bool StartBus();
    bool StartTrayHost(const std::map<std::string, std::string>& env);

    std::string m_display;
    std::string m_lock;
    std::string m_bus;
    std::vector<pid_t> m_processes;
    pid_t m_tray = 0;
};

// weston on a headless output, with a session bus and a runtime folder of
// its own, and Xwayland (which weston starts when an X11 client first
// connects) when asked for. Available() is false where the programs are not
// installed; everything ends with the object.
class Weston {
public:
    explicit Weston(bool xwayland);
    ~Weston();
    Weston(const Weston&) = delete;
    Weston& operator=(const Weston&) = delete;

    bool Available() const { return m_available; }
    std::string Log() const { return m_runtime / "weston.log"; }
    // Xwayland's display; empty without it.
    const std::string& X11Display() const { return m_display; }
    // What a program of this session finds in its environment.
    std::map<std::string, std::string> Environment() const;

private:
    TempDir m_runtime;
    std::string m_bus;
    std::string m_display;
    pid_t m_busDaemon = 0;
    pid_t m_weston = 0;
    bool m_available = false;
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
// This build's netvigil, started so.
pid_t StartNetvigil(const std::map<std::string, std::string>& env,
                    const std::vector<std::string>& args = {});
void StopProgram(pid_t pid);
// Waits for a program this process started to end: its wait status, or -1
// if it still runs at the limit.
int WaitForEnd(pid_t pid, std::chrono::milliseconds limit = kWaitLimit);

// How many of this process's children run this build's netvigil: the ones
// the test started that still run (and orphans, where this process is their
// subreaper), whatever else runs on the machine. A child that netvigil
// itself forks (its ping, say) is none of them.
int NetvigilsRunning();

} // namespace testing_support
