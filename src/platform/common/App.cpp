// Shell starts its command through the system's CreateProcess: every window
// system has it alike.

#include "platform/gui/App.h"

namespace platform {

DWORD Shell(const std::string& commandLine, WORD showStyle) {
    std::string line = commandLine;
    STARTUPINFO si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = showStyle;
    PROCESS_INFORMATION pi{};
    if (CreateProcess(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                      nullptr, &si, &pi) == FALSE) {
        return 0;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return pi.dwProcessId;
}

} // namespace platform
