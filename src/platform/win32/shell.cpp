// The notification area over Shell_NotifyIconW. The class keeps its record in
// the 8-bit layout whose size names the shell version (88, 488 or 504 bytes),
// its text in UTF-8; Windows' own record of that version holds UTF-16 text
// and is larger on 64-bit Windows, where the window and icon handles are 8
// bytes wide. Each request is copied into the native record. The icons are
// kept (NotifyIcons) for a shell that starts afresh or refuses an add: a
// hidden window of this backend hears the shell's "TaskbarCreated".

#include "platform/common/notify_icons.h"
#include "platform/win32/library.h"
#include "platform/win32/notify_icon.h"
#include "platform/win32/wide.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

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
        return {NOTIFYICONDATAW_V3_SIZE, 128, true, true};
    }
    if (cbSize >= 488) {
        return {NOTIFYICONDATAW_V2_SIZE, 128, true, false};
    }
    if (cbSize >= 88) {
        return {NOTIFYICONDATAW_V1_SIZE, 64, false, false};
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

// A text field of the class (its text up to a NUL, or the whole field) into
// the native field of as many UTF-16 units: as much of the text as fits with
// the NUL that the shell requires, never half a surrogate pair. A field of
// UTF-8 never needs more units than it has bytes, so only a text that fills
// the class's field without a NUL is cut, by its last character.
void ToNative(const char* field, std::size_t bytes, wchar_t* out, std::size_t units) {
    const std::string_view whole(field, bytes);
    std::wstring text = win32::Wide(whole.substr(0, whole.find('\0')));
    if (text.size() >= units) {
        std::size_t cut = units - 1;
        if (cut > 0 && text[cut - 1] >= 0xD800 && text[cut - 1] < 0xDC00) {
            --cut;
        }
        text.resize(cut);
    }
    std::fill(out, out + units, L'\0');
    std::copy(text.begin(), text.end(), out);
}

// One request as the shell takes it. The callback the class asks for, the
// mouse-move message, reaches the window as the window system's own message.
BOOL SendNative(DWORD dwMessage, NOTIFYICONDATA* lpData) {
    static auto* const notify =
        win32::Entry<decltype(::Shell_NotifyIconW)>("shell32.dll", "Shell_NotifyIconW");
    NOTIFYICONDATA& r = *lpData;
    const Layout layout = LayoutOf(r.cbSize);
    ::NOTIFYICONDATAW native{};
    native.cbSize = layout.nativeSize;
    native.hWnd = Widened<::HWND>(r.hWnd);
    native.uID = r.uID;
    native.uFlags = r.uFlags;
    native.uCallbackMessage =
        r.uCallbackMessage == WM_MOUSEMOVE ? win32::kNotifyIconCallback : r.uCallbackMessage;
    native.hIcon = Widened<::HICON>(static_cast<std::int32_t>(r.hIcon));
    if (layout.tip > 0) {
        ToNative(r.szTip, layout.tip, native.szTip, layout.tip);
    }
    if (layout.balloon) {
        native.dwState = r.dwState;
        native.dwStateMask = r.dwStateMask;
        ToNative(r.szInfo, sizeof r.szInfo, native.szInfo, std::size(native.szInfo));
        native.uTimeout = r.uTimeout;
        ToNative(r.szInfoTitle, sizeof r.szInfoTitle, native.szInfoTitle,
                 std::size(native.szInfoTitle));
        native.dwInfoFlags = r.dwInfoFlags;
    }
    if (layout.guid) {
        std::memcpy(&native.guidItem, r.guidItem, sizeof r.guidItem);
    }

    const BOOL answer = notify(dwMessage, &native);

    // The shell only reads the record. What it holds is handed back, but for
    // the text, which stays as the class wrote it (converted back it would
    // lose the blanks and the cut the class gave it), and the callback.
    r.hWnd = Narrowed(native.hWnd);
    r.uID = native.uID;
    r.uFlags = native.uFlags;
    r.hIcon = static_cast<HICON>(Narrowed(native.hIcon));
    if (layout.balloon) {
        r.dwState = native.dwState;
        r.dwStateMask = native.dwStateMask;
        r.uTimeout = native.uTimeout;
        r.dwInfoFlags = native.dwInfoFlags;
    }
    if (layout.guid) {
        std::memcpy(r.guidItem, &native.guidItem, sizeof r.guidItem);
    }
    return answer;
}

NotifyIcons& Icons() {
    static NotifyIcons icons(SendNative);
    return icons;
}

// The shell broadcasts "TaskbarCreated" to the top-level windows once it has
// started, with none of the icons it had. A window that hears it, hidden,
// made on the thread of the first request, whose messages it then gets.
::LRESULT CALLBACK ListenerProcedure(::HWND hWnd, ::UINT message, ::WPARAM wParam,
                                     ::LPARAM lParam) {
    static const ::UINT taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    if (message == taskbarCreated && taskbarCreated != 0) {
        Icons().ShellStarted();
        return 0;
    }
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

void ListenForTheShell() {
    static const bool listening = [] {
        ::WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = ListenerProcedure;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"org.netvigil.Netvigil.NotificationArea";
        ::RegisterClassW(&windowClass);
        // Not a message-only window: those hear no broadcast.
        return ::CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                 nullptr, windowClass.hInstance, nullptr) != nullptr;
    }();
    static_cast<void>(listening);
}

} // namespace

bool NotificationAreaAvailable() {
    return ::FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr;
}

BOOL Shell_NotifyIcon(DWORD dwMessage, NOTIFYICONDATA* lpData) {
    ListenForTheShell();
    return Icons().Request(dwMessage, lpData);
}

} // namespace platform
