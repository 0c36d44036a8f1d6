// The drag of a window by its background: the desktop's own move.

#include "platform/gui/Capture.h"

#include "platform/win32/gui/Internals.h"

namespace platform {

BOOL ReleaseCapture() {
    return ::ReleaseCapture();
}

std::intptr_t SendMessage(HWND hWnd, UINT Msg, std::intptr_t wParam, std::intptr_t lParam) {
    const ::HWND window = win32::NativeWindow(hWnd);
    if (Msg == WM_NCLBUTTONDOWN && wParam == HTCAPTION) {
        // The desktop's move starts once the pointer moves with the button
        // held; a click without moving moves nothing, rather than leaving
        // the window stuck to the pointer.
        ::POINT at{};
        ::GetCursorPos(&at);
        if (::GetKeyState(VK_LBUTTON) >= 0 || ::DragDetect(window, at) == FALSE) {
            return 0;
        }
        lParam = MAKELPARAM(at.x, at.y);
    }
    return ::SendMessageW(window, Msg, static_cast<::WPARAM>(wParam), lParam);
}

} // namespace platform
