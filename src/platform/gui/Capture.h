#pragma once

// The two user-interface calls a window makes to be dragged by its
// background, as on Windows: ReleaseCapture, then WM_NCLBUTTONDOWN with
// HTCAPTION sent to the window, which starts the desktop's own move.

#include "platform/win32_types.h"

#include <cstdint>

namespace platform {

inline constexpr UINT WM_NCLBUTTONDOWN = 0xA1;
inline constexpr std::intptr_t HTCAPTION = 2;

BOOL ReleaseCapture();
std::intptr_t SendMessage(HWND hWnd, UINT Msg, std::intptr_t wParam, std::intptr_t lParam);

} // namespace platform
