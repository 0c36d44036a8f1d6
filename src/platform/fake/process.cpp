#include "platform/fake/fake_process.h"
#include "platform/posix/spawn.h"

#include <mutex>

namespace platform {

namespace {

std::mutex g_lock;

fake::ProcessScript& Script() {
    static fake::ProcessScript script;
    return script;
}

} // namespace

namespace fake {
std::vector<StartedProcess>& StartedProcesses() {
    static std::vector<StartedProcess> started;
    return started;
}

void SetProcessScript(ProcessScript script) {
    const std::lock_guard guard(g_lock);
    Script() = std::move(script);
}
} // namespace fake

BOOL CreateProcess(const char* lpApplicationName, char* lpCommandLine,
                   const SECURITY_ATTRIBUTES* /*lpProcessAttributes*/,
                   const SECURITY_ATTRIBUTES* /*lpThreadAttributes*/, BOOL /*bInheritHandles*/,
                   DWORD /*dwCreationFlags*/, void* lpEnvironment, const char* lpCurrentDirectory,
                   STARTUPINFO* lpStartupInfo, PROCESS_INFORMATION* lpProcessInformation) {
    fake::ProcessScript script;
    {
        const std::lock_guard guard(g_lock);
        script = Script();
    }
    if (lpCommandLine != nullptr) {
        const std::lock_guard guard(g_lock);
        const bool show =
            lpStartupInfo != nullptr && (lpStartupInfo->dwFlags & STARTF_USESHOWWINDOW) != 0;
        fake::StartedProcesses().push_back(
            {lpCommandLine, show, show ? lpStartupInfo->wShowWindow : -1});
    }
    const std::optional<fake::Answer> output =
        script && lpCommandLine != nullptr ? script(lpCommandLine) : std::nullopt;
    if (!output) {
        return posix::SpawnProcess(lpApplicationName, lpCommandLine, lpEnvironment,
                                   lpCurrentDirectory, lpStartupInfo, lpProcessInformation);
    }
    if (lpProcessInformation == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (lpStartupInfo != nullptr && (lpStartupInfo->dwFlags & STARTF_USESTDHANDLES) != 0) {
        posix::WriteToPipe(lpStartupInfo->hStdOutput, output->text, output->after);
    }
    lpProcessInformation->hProcess = posix::NewProcessHandle();
    lpProcessInformation->hThread = posix::NewProcessHandle();
    lpProcessInformation->dwProcessId = 0;
    lpProcessInformation->dwThreadId = 0;
    return TRUE;
}

} // namespace platform
