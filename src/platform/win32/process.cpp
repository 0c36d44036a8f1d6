// Pipes and processes over kernel32. Windows searches for the program itself:
// the application's directory first, where Netvigil's own ping.exe sits.

#include "platform/handles.h"
#include "platform/win32/api.h"
#include "platform/win32/wide.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

namespace {

void Counted(BOOL made, int handles) {
    for (int i = 0; made != FALSE && i < handles; ++i) {
        detail::HandleOpened();
    }
}

::SECURITY_ATTRIBUTES Native(const SECURITY_ATTRIBUTES& sa) {
    ::SECURITY_ATTRIBUTES native{};
    native.nLength = sizeof native;
    native.lpSecurityDescriptor = sa.lpSecurityDescriptor;
    native.bInheritHandle = sa.bInheritHandle;
    return native;
}

// The standard handles the record names, each once: the only handles the
// child inherits.
std::vector<::HANDLE> StandardHandles(const ::STARTUPINFOW& si) {
    std::vector<::HANDLE> handles;
    for (const ::HANDLE h : {si.hStdInput, si.hStdOutput, si.hStdError}) {
        if (h != nullptr && h != win32::InvalidHandle() &&
            std::find(handles.begin(), handles.end(), h) == handles.end()) {
            handles.push_back(h);
        }
    }
    return handles;
}

// The wait of the thread that set it; other threads' reads block.
std::mutex g_waitLock;
PipeWait g_pipeWait;
::DWORD g_pipeWaitThread = 0;

PipeWait WaitOfThisThread() {
    const std::lock_guard guard(g_waitLock);
    return g_pipeWaitThread == ::GetCurrentThreadId() ? g_pipeWait : PipeWait{};
}

// An environment block of the 8-bit form (NAME=value strings, each ending
// in a NUL, and one NUL more) in the form CREATE_UNICODE_ENVIRONMENT says.
std::wstring WideEnvironment(const char* block) {
    std::wstring wide;
    for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1) {
        wide += win32::Wide(entry) + L'\0';
    }
    return wide + L'\0';
}

// Whether a child is to be started out of sight. A console program started
// so must also have no console of its own: where Windows Terminal is the
// default terminal, a console program started from one without a console
// gets a terminal window, visible or minimized, whatever the show style
// asks. CREATE_NO_WINDOW is ignored for a program of the desktop.
bool Hidden(const STARTUPINFO& si) {
    return (si.dwFlags & STARTF_USESHOWWINDOW) != 0 && si.wShowWindow == SW_HIDE;
}

} // namespace

void SetPipeWait(PipeWait wait) {
    const std::lock_guard guard(g_waitLock);
    g_pipeWait = std::move(wait);
    g_pipeWaitThread = ::GetCurrentThreadId();
}

BOOL CreatePipe(HANDLE* hReadPipe, HANDLE* hWritePipe, const SECURITY_ATTRIBUTES* lpPipeAttributes,
                DWORD nSize) {
    ::SECURITY_ATTRIBUTES sa{};
    if (lpPipeAttributes != nullptr) {
        sa = Native(*lpPipeAttributes);
    }
    ::HANDLE read = nullptr;
    ::HANDLE write = nullptr;
    const BOOL made =
        ::CreatePipe(&read, &write, lpPipeAttributes != nullptr ? &sa : nullptr, nSize);
    if (made != FALSE) {
        // The reading end stays with the parent: a child holding it would
        // keep nothing alive, but it is not the child's.
        ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
        *hReadPipe = win32::Ours(read);
        *hWritePipe = win32::Ours(write);
    }
    Counted(made, 2);
    return made;
}

BOOL CreateProcess(const char* lpApplicationName, char* lpCommandLine,
                   const SECURITY_ATTRIBUTES* lpProcessAttributes,
                   const SECURITY_ATTRIBUTES* lpThreadAttributes, BOOL bInheritHandles,
                   DWORD dwCreationFlags, void* lpEnvironment, const char* lpCurrentDirectory,
                   STARTUPINFO* lpStartupInfo, PROCESS_INFORMATION* lpProcessInformation) {
    if (lpStartupInfo == nullptr || lpProcessInformation == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Windows looks for a program named without a path in the current
    // directory too, before its own: a shutdown.exe or explorer.exe in
    // whatever directory Netvigil was started from would run in place of the
    // system's. With this variable set, it looks in the program's directory
    // and the system's only (NeedCurrentDirectoryForExePath).
    static const bool noCurrentDirectory =
        ::SetEnvironmentVariableW(L"NoDefaultCurrentDirectoryInExePath", L"1") != FALSE;
    static_cast<void>(noCurrentDirectory);
    const win32::WideArgument desktop(lpStartupInfo->lpDesktop);
    const win32::WideArgument title(lpStartupInfo->lpTitle);
    ::STARTUPINFOEXW si{};
    si.StartupInfo.cb = sizeof si;
    si.StartupInfo.dwFlags = lpStartupInfo->dwFlags;
    si.StartupInfo.wShowWindow = lpStartupInfo->wShowWindow;
    si.StartupInfo.dwX = lpStartupInfo->dwX;
    si.StartupInfo.dwY = lpStartupInfo->dwY;
    si.StartupInfo.dwXSize = lpStartupInfo->dwXSize;
    si.StartupInfo.dwYSize = lpStartupInfo->dwYSize;
    si.StartupInfo.lpTitle = const_cast<wchar_t*>(title.Get());
    si.StartupInfo.lpDesktop = const_cast<wchar_t*>(desktop.Get());
    si.StartupInfo.hStdInput = win32::NativeHandle(lpStartupInfo->hStdInput);
    si.StartupInfo.hStdOutput = win32::NativeHandle(lpStartupInfo->hStdOutput);
    si.StartupInfo.hStdError = win32::NativeHandle(lpStartupInfo->hStdError);

    const bool redirected = (lpStartupInfo->dwFlags & STARTF_USESTDHANDLES) != 0;
    // A child given no input reads the null device, as on every platform
    // Netvigil runs on.
    ::HANDLE nul = nullptr;
    if (redirected && si.StartupInfo.hStdInput == nullptr) {
        ::SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        nul = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                            OPEN_EXISTING, 0, nullptr);
        si.StartupInfo.hStdInput = nul != win32::InvalidHandle() ? nul : nullptr;
    }

    // Only the standard handles reach the child, whatever else is inheritable.
    std::vector<::HANDLE> inherited = StandardHandles(si.StartupInfo);
    std::vector<char> attributes;
    DWORD flags = dwCreationFlags | (Hidden(*lpStartupInfo) ? CREATE_NO_WINDOW : 0);
    if (bInheritHandles != FALSE && redirected && !inherited.empty()) {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        attributes.resize(size);
        si.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
        if (::InitializeProcThreadAttributeList(si.lpAttributeList, 1, 0, &size) != FALSE &&
            ::UpdateProcThreadAttribute(si.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                        inherited.data(), inherited.size() * sizeof(::HANDLE),
                                        nullptr, nullptr) != FALSE) {
            flags |= EXTENDED_STARTUPINFO_PRESENT;
        } else {
            si.lpAttributeList = nullptr;
        }
    }

    ::SECURITY_ATTRIBUTES processSa{};
    ::SECURITY_ATTRIBUTES threadSa{};
    if (lpProcessAttributes != nullptr) {
        processSa = Native(*lpProcessAttributes);
    }
    if (lpThreadAttributes != nullptr) {
        threadSa = Native(*lpThreadAttributes);
    }
    // CreateProcessW may write into the command line it is given: a copy.
    std::wstring commandLine =
        lpCommandLine != nullptr ? win32::Wide(lpCommandLine) : std::wstring();
    std::wstring environment;
    if (lpEnvironment != nullptr) {
        environment = WideEnvironment(static_cast<const char*>(lpEnvironment));
        flags |= CREATE_UNICODE_ENVIRONMENT;
    }
    ::PROCESS_INFORMATION pi{};
    const BOOL started =
        ::CreateProcessW(win32::WideArgument(lpApplicationName).Get(),
                         lpCommandLine != nullptr ? commandLine.data() : nullptr,
                         lpProcessAttributes != nullptr ? &processSa : nullptr,
                         lpThreadAttributes != nullptr ? &threadSa : nullptr, bInheritHandles,
                         flags, lpEnvironment != nullptr ? environment.data() : nullptr,
                         win32::WideArgument(lpCurrentDirectory).Get(), &si.StartupInfo, &pi);
    const DWORD error = ::GetLastError();
    if (si.lpAttributeList != nullptr) {
        ::DeleteProcThreadAttributeList(si.lpAttributeList);
    }
    if (nul != nullptr && nul != win32::InvalidHandle()) {
        ::CloseHandle(nul);
    }
    if (started != FALSE) {
        lpProcessInformation->hProcess = win32::Ours(pi.hProcess);
        lpProcessInformation->hThread = win32::Ours(pi.hThread);
        lpProcessInformation->dwProcessId = pi.dwProcessId;
        lpProcessInformation->dwThreadId = pi.dwThreadId;
    }
    Counted(started, 2);
    ::SetLastError(error);
    return started;
}

BOOL ReadFile(HANDLE hFile, void* lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead,
              void* lpOverlapped) {
    const ::HANDLE native = win32::NativeHandle(hFile);
    ::DWORD read = 0;
    BOOL ok = FALSE;
    ::DWORD error = 0;
    const auto call = [&] {
        ok = ::ReadFile(native, lpBuffer, nNumberOfBytesToRead, &read,
                        static_cast<::OVERLAPPED*>(lpOverlapped));
        error = ::GetLastError();
    };
    // An anonymous pipe cannot be waited on; what it holds can be asked. At
    // its end the question fails, and the read returns at once.
    ::DWORD available = 0;
    const PipeWait wait = lpOverlapped == nullptr ? WaitOfThisThread() : PipeWait{};
    if (wait && ::PeekNamedPipe(native, nullptr, 0, nullptr, &available, nullptr) != FALSE &&
        available == 0) {
        wait(call);
    } else {
        call();
    }
    if (lpNumberOfBytesRead != nullptr) {
        *lpNumberOfBytesRead = read;
    }
    ::SetLastError(error);
    return ok;
}

BOOL CloseHandle(HANDLE hObject) {
    const BOOL closed = ::CloseHandle(win32::NativeHandle(hObject));
    if (closed != FALSE) {
        detail::HandleClosed();
    }
    return closed;
}

DWORD GetLastError() {
    return ::GetLastError();
}

void SetLastError(DWORD dwErrCode) {
    ::SetLastError(dwErrCode);
}

} // namespace platform
