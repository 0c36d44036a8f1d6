#include "platform/posix/spawn.h"

namespace platform {

BOOL CreateProcess(const char* lpApplicationName, char* lpCommandLine,
                   const SECURITY_ATTRIBUTES* /*lpProcessAttributes*/,
                   const SECURITY_ATTRIBUTES* /*lpThreadAttributes*/, BOOL /*bInheritHandles*/,
                   DWORD /*dwCreationFlags*/, void* lpEnvironment, const char* lpCurrentDirectory,
                   STARTUPINFO* lpStartupInfo, PROCESS_INFORMATION* lpProcessInformation) {
    return posix::SpawnProcess(lpApplicationName, lpCommandLine, lpEnvironment, lpCurrentDirectory,
                               lpStartupInfo, lpProcessInformation);
}

} // namespace platform
