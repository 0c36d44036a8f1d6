#pragma once

#include "platform/shell.h"

#include <functional>
#include <optional>
#include <vector>

namespace platform::fake {

// The notification area of the fake backend records every request.
struct ShellRequest {
    DWORD message;
    NOTIFYICONDATA record;
};
std::vector<ShellRequest>& ShellRequests();
// What Shell_NotifyIcon answers (TRUE by default); a thrown Win32CallError
// plays a missing shell32.dll.
void SetShellAnswer(std::function<BOOL(DWORD message)> answer);

// Whether the fake desktop has a notification area (it has, by default).
void SetNotificationArea(bool available);

// The version the fake "shell32.dll" reports; nothing: no version resource.
void SetShellVersion(std::optional<WORD> major);
// While set, the version functions fail as if version.dll were missing.
void SetVersionFailure(bool fail);

} // namespace platform::fake
