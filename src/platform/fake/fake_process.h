#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform::fake {

// What a scripted child writes, and how long after its start it writes it
// and ends, as a ping waiting for a late reply does.
struct Answer {
    Answer(std::string output, std::chrono::milliseconds delay = {})
        : text(std::move(output)), after(delay) {}
    std::string text;
    std::chrono::milliseconds after;
};

// Scripts the processes that CreateProcess starts: for a command line the
// script answers, no process is started and the text arrives on the child's
// standard output as if the child had written it and exited; for
// std::nullopt the command runs for real. An empty script runs everything.
using ProcessScript = std::function<std::optional<Answer>(const std::string& commandLine)>;
void SetProcessScript(ProcessScript script);

// Every CreateProcess call of the fake backend, scripted or not.
struct StartedProcess {
    std::string commandLine;
    bool showWindowGiven; // STARTF_USESHOWWINDOW
    int showWindow;
};
std::vector<StartedProcess>& StartedProcesses();

} // namespace platform::fake
