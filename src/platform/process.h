#pragma once

// Pipes and processes, in the shape of their Windows (8-bit text) forms.
// The functions return TRUE or FALSE; GetLastError() tells why a call failed.

#include "platform/win32_types.h"

#include <functional>

namespace platform {

using HANDLE = std::intptr_t;

struct STARTUPINFO {
    DWORD cb;
    char* lpReserved;
    char* lpDesktop;
    char* lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    BYTE* lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
};

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};

inline constexpr DWORD STARTF_USESHOWWINDOW = 0x00000001;
inline constexpr DWORD STARTF_USESTDHANDLES = 0x00000100;
inline constexpr WORD SW_HIDE = 0;
inline constexpr WORD SW_SHOWNORMAL = 1;
inline constexpr DWORD NORMAL_PRIORITY_CLASS = 0x00000020;

// An anonymous pipe. Its handles are never inherited by a child, except as
// the standard handles that a start-up record names.
BOOL CreatePipe(HANDLE* hReadPipe, HANDLE* hWritePipe, const SECURITY_ATTRIBUTES* lpPipeAttributes,
                DWORD nSize);

// Starts a program. The command line is split into arguments by the Microsoft
// C runtime's rules and never given to a shell; the program (the application
// name, else the first argument) is looked for in Netvigil's directory of
// platform commands, then on PATH. The child's standard input is the null
// device unless the start-up record names one; no other handle reaches it.
BOOL CreateProcess(const char* lpApplicationName, char* lpCommandLine,
                   const SECURITY_ATTRIBUTES* lpProcessAttributes,
                   const SECURITY_ATTRIBUTES* lpThreadAttributes, BOOL bInheritHandles,
                   DWORD dwCreationFlags, void* lpEnvironment, const char* lpCurrentDirectory,
                   STARTUPINFO* lpStartupInfo, PROCESS_INFORMATION* lpProcessInformation);

// Reads what is there, up to the size asked, blocking until something is.
// At the end of a pipe it fails with ERROR_BROKEN_PIPE.
BOOL ReadFile(HANDLE hFile, void* lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead,
              void* lpOverlapped);

// How a read from a pipe with nothing in it yet waits. A program with a
// message loop sets one that keeps the loop running (the window system's
// DoEventsWhile): wait must call blocking, which returns once the child has
// written or ended and touches nothing of the caller's thread, and return
// after it. Without one, ReadFile blocks the calling thread.
using PipeWait = std::function<void(const std::function<void()>& blocking)>;
void SetPipeWait(PipeWait wait);

// Closing a process handle lets the child go: it is reaped when it ends, at
// once if it has, and the caller is never made to wait for it.
BOOL CloseHandle(HANDLE hObject);

DWORD GetLastError();
void SetLastError(DWORD dwErrCode);

} // namespace platform
