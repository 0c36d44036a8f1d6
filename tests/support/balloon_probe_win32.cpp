// The desktop test's view of the shell's balloons, from inside the same Wine:
//
//   balloon_probe wait SECONDS TEXT
//                                waits for a balloon with this text to show
//                                and writes its screen rectangle (X Y WIDTH
//                                HEIGHT); if none shows in time, writes the
//                                text of the last balloon seen and exits 1.
//   balloon_probe desktop        asks for the desktop, writes "ready" and
//                                holds it until ended: the first program to
//                                ask starts Wine's explorer.exe, which has the
//                                notification area, inherits this program's
//                                error output and WINEDEBUG, and ends soon
//                                after the desktop's last program.
//   balloon_probe click          what the shell does when the user clicks the
//                                balloon: NIN_BALLOONUSERCLICK through the
//                                icon's callback (the window system's own
//                                message) to Netvigil's window. Wine shows
//                                balloons but reports no click on them.
//   balloon_probe tip            writes the text of the tooltip showing (not a
//                                balloon), each line ended by "|".
//   balloon_probe forget         what a shell that starts afresh does to
//                                Netvigil's icon: it has it no more.
//   balloon_probe restarted      what it then says to every program: the
//                                registered message "TaskbarCreated".
//   balloon_probe names          what a screen reader reads of the board's
//                                client area: each child's name, a line each.
//
// A balloon is a tooltip of the balloon style; its text is what it answers
// to WM_GETTEXT, which crosses processes.

#include "platform/win32/notify_icon.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <windows.h>
// After windows.h, which they need.
#include <oleacc.h>
#include <shellapi.h>

namespace {

constexpr LONG kBalloonStyle = 0x40; // TTS_BALLOON
constexpr LPARAM kBalloonUserClick = 0x405;

// A tooltip showing, of the balloon style or not.
HWND ShownTooltip(bool balloon) {
    HWND tip = nullptr;
    while ((tip = FindWindowExW(nullptr, tip, L"tooltips_class32", nullptr)) != nullptr) {
        if (IsWindowVisible(tip) != FALSE &&
            ((GetWindowLongW(tip, GWL_STYLE) & kBalloonStyle) != 0) == balloon) {
            return tip;
        }
    }
    return nullptr;
}

HWND ShownBalloon() {
    return ShownTooltip(true);
}

std::string TextOf(HWND window) {
    std::vector<wchar_t> text(512, L'\0');
    DWORD_PTR length = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                            SMTO_ABORTIFHUNG, 2000, &length) == 0) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(length), nullptr,
                                         0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(length), utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
}

int Wait(int seconds, const std::string& wanted) {
    std::string seen;
    for (int tries = seconds * 10; tries > 0; --tries) {
        if (HWND balloon = ShownBalloon()) {
            seen = TextOf(balloon);
            if (seen == wanted) {
                RECT r{};
                GetWindowRect(balloon, &r);
                std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
                return 0;
            }
        }
        Sleep(100);
    }
    std::printf("%s\n", seen.c_str());
    return 1;
}

int Tip() {
    HWND tip = ShownTooltip(false);
    if (tip == nullptr) {
        return 1;
    }
    std::string text = TextOf(tip);
    for (char& c : text) {
        c = c == '\r' ? '|' : c;
    }
    std::printf("%s\n", text.c_str());
    return 0;
}

// The board: the first window of Netvigil's form class, shown or hidden.
HWND Board() {
    return FindWindowW(L"NetvigilForm", nullptr);
}

int Forget() {
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = Board();
    icon.uID = 1;
    return icon.hWnd != nullptr && Shell_NotifyIconW(NIM_DELETE, &icon) != FALSE ? 0 : 1;
}

int Restarted() {
    return PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0) != FALSE
               ? 0
               : 1;
}

int Names() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 1;
    }
    IAccessible* client = nullptr;
    if (FAILED(AccessibleObjectFromWindow(Board(), static_cast<DWORD>(OBJID_CLIENT),
                                          __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&client)))) {
        return 1;
    }
    long count = 0;
    client->get_accChildCount(&count);
    for (long id = 1; id <= count; ++id) {
        VARIANT child;
        VariantInit(&child);
        child.vt = VT_I4;
        child.lVal = id;
        BSTR name = nullptr;
        if (client->get_accName(child, &name) == S_OK && name != nullptr) {
            const std::wstring wide(name);
            const int size =
                WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
            std::string utf8(static_cast<std::size_t>(size), '\0');
            WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(),
                                size, nullptr, nullptr);
            std::printf("%s\n", utf8.c_str());
        }
        SysFreeString(name);
    }
    client->Release();
    return 0;
}

int Click() {
    HWND form = Board();
    if (form == nullptr) {
        std::fprintf(stderr, "no window of Netvigil\n");
        return 1;
    }
    return PostMessageW(form, platform::win32::kNotifyIconCallback, 1, kBalloonUserClick) != FALSE
               ? 0
               : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "wait") == 0) {
        return Wait(std::atoi(argv[2]), argv[3]);
    }
    if (argc == 2 && std::strcmp(argv[1], "desktop") == 0) {
        if (GetDesktopWindow() == nullptr) {
            return 1;
        }
        std::printf("ready\n");
        std::fflush(stdout);
        Sleep(INFINITE);
    }
    if (argc == 2 && std::strcmp(argv[1], "click") == 0) {
        return Click();
    }
    if (argc == 2 && std::strcmp(argv[1], "tip") == 0) {
        return Tip();
    }
    if (argc == 2 && std::strcmp(argv[1], "forget") == 0) {
        return Forget();
    }
    if (argc == 2 && std::strcmp(argv[1], "restarted") == 0) {
        return Restarted();
    }
    if (argc == 2 && std::strcmp(argv[1], "names") == 0) {
        return Names();
    }
    std::fprintf(stderr, "usage: balloon_probe desktop | wait SECONDS TEXT | click | tip | forget"
                         " | restarted | names\n");
    return 2;
}
