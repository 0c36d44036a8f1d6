#pragma once

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_support {

// An X server of the test's own (Xvfb), with a notification-area host
// (trayer) and a window manager (openbox) when asked for. Available() is false
// where the programs are not installed; everything ends with the object.
class VirtualDesktop {
public:
    explicit VirtualDesktop(bool windowManager);
    ~VirtualDesktop();
    VirtualDesktop(const VirtualDesktop&) = delete;
    VirtualDesktop& operator=(const VirtualDesktop&) = delete;

    bool Available() const { return !m_display.empty(); }
    const std::string& Display() const { return m_display; }

    // xdotool on this display; its standard output.
    std::string XDoTool(const std::vector<std::string>& args) const;

private:
    std::string m_display;
    std::vector<pid_t> m_processes;
};

// Whether a tray host owns the notification area of the display.
bool TrayHostPresent(const std::string& display);

// Starts a program in the background; its output goes nowhere.
pid_t StartProgram(const std::vector<std::string>& args,
                   const std::map<std::string, std::string>& env = {});
void StopProgram(pid_t pid);

} // namespace testing_support
