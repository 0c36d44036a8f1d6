#pragma once

// The notification area on Qt: Shell_NotifyIcon (platform/shell.h) keeps one
// QSystemTrayIcon per window handle and icon id.

#include "platform/win32_types.h"

class QSystemTrayIcon;

namespace platform::qt {

// The icon shown for a window handle and id, if any: for tests and diagnostics.
const QSystemTrayIcon* TrayIconFor(HWND hWnd, UINT uID);

} // namespace platform::qt
