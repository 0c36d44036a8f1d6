#pragma once

// The notification area on Qt: Shell_NotifyIcon (platform/shell.h) keeps one
// QSystemTrayIcon per window handle and icon id. This header adds what only
// the window system can say.

#include "platform/win32_types.h"

#include <QIcon>

class QSystemTrayIcon;

namespace platform::qt {

// Icons cross the platform boundary as 32-bit handles, as on Windows.
HICON IconHandle(const QIcon& icon);
QIcon IconFromHandle(HICON handle);

// Whether the desktop has a notification area at all. Without one, a window
// that hides itself "in the tray" would leave the user no way back.
bool NotificationAreaAvailable();

// The icon shown for a window handle and id, if any: for tests and diagnostics.
const QSystemTrayIcon* TrayIconFor(HWND hWnd, UINT uID);

} // namespace platform::qt
