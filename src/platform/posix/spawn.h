#pragma once

// What the backends share of process creation on Linux: the real spawn, and
// for the fake backend, the means to stand in for a child.

#include "platform/process.h"

#include <chrono>
#include <string_view>

namespace platform::posix {

// CreateProcess on posix_spawn (see platform/process.h).
BOOL SpawnProcess(const char* lpApplicationName, char* lpCommandLine, void* lpEnvironment,
                  const char* lpCurrentDirectory, STARTUPINFO* lpStartupInfo,
                  PROCESS_INFORMATION* lpProcessInformation);

// Writes all of bytes into a pipe handle made by CreatePipe: at once, or
// after a delay from a thread that holds the pipe open until then.
bool WriteToPipe(HANDLE hPipe, std::string_view bytes,
                 std::chrono::milliseconds after = std::chrono::milliseconds::zero());

// A process handle that stands for no process: CloseHandle takes it.
HANDLE NewProcessHandle();

} // namespace platform::posix
