// The notification area over Shell_NotifyIconA. The class keeps its record in
// the 8-bit layout whose size names the shell version (88, 488 or 504 bytes);
// Windows' own record of that version is larger on 64-bit Windows, where the
// window and icon handles are 8 bytes wide. Each request is copied into the
// native record and, after the call, back.

#include "platform/win32/library.h"

#include <cstring>

namespace platform {

namespace {

// The native size of the version the class's size names, and how much of
// the tip that version holds.
struct Layout {
    DWORD nativeSize;
    std::size_t tip;
    bool balloon;
    bool guid;
};

Layout LayoutOf(DWORD cbSize) {
    if (cbSize >= 504) {
        return {NOTIFYICONDATAA_V3_SIZE, 128, true, true};
    }
    if (cbSize >= 488) {
        return {NOTIFYICONDATAA_V2_SIZE, 128, true, false};
    }
    if (cbSize >= 88) {
        return {NOTIFYICONDATAA_V1_SIZE, 64, false, false};
    }
    // Too small for any version: the shell is told so and refuses.
    return {0, 0, false, false};
}

// Window and icon handles carry 32 significant bits, sign-extended.
template <typename Handle> Handle Widened(std::int32_t value) {
    return reinterpret_cast<Handle>(static_cast<std::intptr_t>(value));
}
template <typename Handle> std::int32_t Narrowed(Handle handle) {
    return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(handle));
}

} // namespace

bool NotificationAreaAvailable() {
    return ::FindWindowA("Shell_TrayWnd", nullptr) != nullptr;
}

BOOL Shell_NotifyIcon(DWORD dwMessage, NOTIFYICONDATA* lpData) {
    static auto* const notify =
        win32::Entry<decltype(::Shell_NotifyIconA)>("shell32.dll", "Shell_NotifyIconA");
    NOTIFYICONDATA& r = *lpData;
    const Layout layout = LayoutOf(r.cbSize);
    ::NOTIFYICONDATAA native{};
    native.cbSize = layout.nativeSize;
    native.hWnd = Widened<::HWND>(r.hWnd);
    native.uID = r.uID;
    native.uFlags = r.uFlags;
    native.uCallbackMessage = r.uCallbackMessage;
    native.hIcon = Widened<::HICON>(static_cast<std::int32_t>(r.hIcon));
    std::memcpy(native.szTip, r.szTip, layout.tip);
    if (layout.balloon) {
        native.dwState = r.dwState;
        native.dwStateMask = r.dwStateMask;
        std::memcpy(native.szInfo, r.szInfo, sizeof r.szInfo);
        native.uTimeout = r.uTimeout;
        std::memcpy(native.szInfoTitle, r.szInfoTitle, sizeof r.szInfoTitle);
        native.dwInfoFlags = r.dwInfoFlags;
    }
    if (layout.guid) {
        std::memcpy(&native.guidItem, r.guidItem, sizeof r.guidItem);
    }

    const BOOL answer = notify(dwMessage, &native);

    r.hWnd = Narrowed(native.hWnd);
    r.uID = native.uID;
    r.uFlags = native.uFlags;
    r.uCallbackMessage = native.uCallbackMessage;
    r.hIcon = static_cast<HICON>(Narrowed(native.hIcon));
    std::memcpy(r.szTip, native.szTip, layout.tip);
    if (layout.balloon) {
        r.dwState = native.dwState;
        r.dwStateMask = native.dwStateMask;
        std::memcpy(r.szInfo, native.szInfo, sizeof r.szInfo);
        r.uTimeout = native.uTimeout;
        std::memcpy(r.szInfoTitle, native.szInfoTitle, sizeof r.szInfoTitle);
        r.dwInfoFlags = native.dwInfoFlags;
    }
    if (layout.guid) {
        std::memcpy(r.guidItem, &native.guidItem, sizeof r.guidItem);
    }
    return answer;
}

} // namespace platform
