#include "runner/clsRunCommand.h"

#include "platform/message_box.h"
#include "platform/process.h"

#include <exception>

using namespace platform;

std::string clsRunCommand::GetRtnText(const std::string& sAppName,
                                      const std::string& /*sSearchText*/,
                                      std::int16_t /*nCaseSensitive*/, std::int16_t nShowMsgBox) {
    std::string sText;
    try {
        sText = CaptureOutput(sAppName);
    } catch (const std::exception&) {
        // Swallowed: the caller judges the (empty) text like any other.
    }
    if (nShowMsgBox == -1) {
        try {
            MessageBox(0, sText.c_str(), sAppName.c_str(), MB_OK);
        } catch (const std::exception&) {
        }
    }
    return sText;
}

std::string clsRunCommand::CaptureOutput(const std::string& sAppName) {
    char buffer[256];
    HANDLE hReadPipe = 0;
    HANDLE hWritePipe = 0;
    SECURITY_ATTRIBUTES sa{};
    sa.nLength = sizeof(SECURITY_ATTRIBUTES);
    sa.lpSecurityDescriptor = nullptr;
    sa.bInheritHandle = TRUE;

    // The results are not examined: a failed step leaves null handles, which
    // the steps after it turn into an empty text.
    CreatePipe(&hReadPipe, &hWritePipe, &sa, 0);

    STARTUPINFO si{};
    si.cb = sizeof(STARTUPINFO);
    si.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    si.wShowWindow = SW_HIDE;
    si.hStdInput = 0;
    si.hStdOutput = hWritePipe;
    si.hStdError = hWritePipe;
    PROCESS_INFORMATION pi{};
    std::string sCommandLine = sAppName;
    CreateProcess(nullptr, sCommandLine.data(), &sa, &sa, TRUE, NORMAL_PRIORITY_CLASS, nullptr,
                  nullptr, &si, &pi);

    // Only the child holds the write end now, so the pipe ends when it does.
    CloseHandle(hWritePipe);

    std::string sOutput;
    DWORD lBytesRead = 0;
    // The code page is the locale's UTF-8, the program's own text form: the
    // bytes are appended as they come, so a character split between two
    // reads comes out whole.
    while (ReadFile(hReadPipe, buffer, sizeof buffer, &lBytesRead, nullptr) != FALSE) {
        sOutput.append(buffer, lBytesRead);
    }

    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(hReadPipe);
    return sOutput;
}
