#pragma once

// The message the shell sends a window about its icon in the notification
// area. The tray class asks for WM_MOUSEMOVE, as its design has it; a real
// move of the pointer over a board wider than 515 pixels would then read as a
// double click on the icon. The shell is given this message of the window
// system's own instead, and the window turns it back into its mouse-move
// notification with the shell's message in X: only the shell sends it.

#include "platform/win32/api.h"

namespace platform::win32 {

inline constexpr ::UINT kNotifyIconCallback = WM_APP + 0x100;

} // namespace platform::win32
