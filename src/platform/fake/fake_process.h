#pragma once

#include <functional>
#include <optional>
#include <string>

namespace platform::fake {

// Scripts the processes that CreateProcess starts: for a command line the
// script answers with text, no process is started and the text arrives on the
// child's standard output as if the child had written it and exited; for
// std::nullopt the command runs for real. An empty script runs everything.
using ProcessScript = std::function<std::optional<std::string>(const std::string& commandLine)>;
void SetProcessScript(ProcessScript script);

} // namespace platform::fake
