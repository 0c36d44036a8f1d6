// The tray class over Windows' own notification area: Shell_NotifyIconW and
// the version facility on the real shell32.dll, run by wine-run --desktop with
// Wine's notification area docked in trayer. The icon comes and goes, its tip
// shows the text given, whole, the shell's callbacks reach the window as the
// window system's own message (which it hands on as mouse moves with the
// message in X), and the icon comes back when the shell starts afresh.

#include "platform/shell.h"
#include "platform/utf8.h"
#include "platform/win32/notify_icon.h"
#include "test_support.h"
#include "tray/clsSysTray.h"

#include <gtest/gtest.h>

#include <windows.h>
// The platform's functions of these names are meant, not Windows' A/W macros.
#undef GetFileVersionInfo
#undef GetFileVersionInfoSize
#undef Shell_NotifyIcon
#undef VerQueryValue

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

using testing_support::SetWhileWaiting;
using testing_support::WaitFor;

// A real window, hidden, that hands the icon's callbacks to the tray class as
// the window system does (pixels: the message number is X).
class Window : public platform::IWindow {
public:
    Window() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "NetvigilTrayTest";
        RegisterClassA(&wc);
        m_hwnd = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 100, 100, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Window() override { DestroyWindow(m_hwnd); }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    platform::HWND hWnd() const override {
        return static_cast<platform::HWND>(reinterpret_cast<std::intptr_t>(m_hwnd));
    }
    int ScaleMode() const override { return 3; }
    double TwipsPerPixelX() const override { return 15.0; }
    void SetWindowState(int state) override { log.push_back("state " + std::to_string(state)); }
    void Show() override { log.push_back("show"); }
    bool Visible() const override { return visible; }
    void PopupMenu(platform::IMenu&, platform::IMenuItem*) override { log.push_back("popup"); }
    void PopupMenuAt(platform::IMenu&, platform::IMenuItem*, float, float) override {
        log.push_back("popup at");
    }
    void SubscribeMouseMove(platform::MouseHandler handler) override {
        m_mouseMove = std::move(handler);
    }

    std::vector<std::string> log;
    std::vector<std::pair<WPARAM, LPARAM>> moves;
    bool visible = true;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self != nullptr && message == platform::win32::kNotifyIconCallback) {
            self->moves.emplace_back(wParam, lParam);
            if (self->m_mouseMove) {
                self->m_mouseMove(0, 0, static_cast<float>(LOWORD(lParam)),
                                  static_cast<float>(HIWORD(lParam)));
            }
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }

    HWND m_hwnd = nullptr;
    platform::MouseHandler m_mouseMove;
};

// The window's messages are handled while a test waits, as its message loop
// would.
class WindowsTray : public ::testing::Test {
protected:
    void SetUp() override {
        SetWhileWaiting([] {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) {
                DispatchMessageA(&msg);
            }
        });
    }
};

// Wine's X11 driver shows each docked icon as a window of this class; the
// mouse messages it gets are what a click on the icon in the tray gives.
// Once trayer has embedded it, Wine stands trayer's windows around it as
// foreign windows, and the icon is their child: no longer a top-level window.
BOOL CALLBACK NoteIcon(HWND window, LPARAM icon) {
    char name[32] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, "__winex11_tray_icon") == 0) {
        *reinterpret_cast<HWND*>(icon) = window;
    }
    return TRUE;
}

HWND DockedIcon() {
    HWND icon = nullptr;
    EnumWindows(
        [](HWND top, LPARAM found) -> BOOL {
            NoteIcon(top, found);
            EnumChildWindows(top, NoteIcon, found);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&icon));
    return icon;
}

// Wine shows a balloon as a tooltip of the balloon style (TTS_BALLOON) by the
// icon.
bool BalloonShown() {
    constexpr LONG kBalloonStyle = 0x40;
    HWND tip = nullptr;
    while ((tip = FindWindowExA(nullptr, tip, "tooltips_class32", nullptr)) != nullptr) {
        if (IsWindowVisible(tip) != FALSE &&
            (GetWindowLongA(tip, GWL_STYLE) & kBalloonStyle) != 0) {
            return true;
        }
    }
    return false;
}

bool TrayHostRunning() {
    return FindWindowA("Shell_TrayWnd", nullptr) != nullptr;
}

platform::HICON Icon() {
    return static_cast<platform::HICON>(
        reinterpret_cast<std::uintptr_t>(LoadIconA(nullptr, IDI_APPLICATION)));
}

TEST_F(WindowsTray, TheVersionFacilityReadsTheRealShell) {
    platform::DWORD handle = 1;
    const platform::DWORD size = platform::GetFileVersionInfoSize("shell32.dll", &handle);
    ASSERT_GT(size, 0u);
    EXPECT_EQ(handle, 0u);
    std::vector<platform::BYTE> data(size);
    ASSERT_NE(platform::GetFileVersionInfo("shell32.dll", 0, size, data.data()), FALSE);
    void* block = nullptr;
    platform::UINT length = 0;
    ASSERT_EQ(platform::VerQueryValue(data.data(), "\\", &block, &length), 1);
    ASSERT_EQ(length, sizeof(platform::VS_FIXEDFILEINFO));
    const auto* info = static_cast<const platform::VS_FIXEDFILEINFO*>(block);
    EXPECT_EQ(info->dwSignature, 0xFEEF04BDu);
    EXPECT_GE(info->dwFileVersionMS >> 16, 6u); // 504-byte records
    EXPECT_EQ(platform::GetFileVersionInfoSize("no-such-library.dll", nullptr), 0u);
}

// Each of the three record sizes reaches the shell as the native record of the
// same version: the icon is added, answers on the window and message given,
// and is removed.
TEST_F(WindowsTray, EveryRecordSizeReachesTheShell) {
    if (!TrayHostRunning()) {
        GTEST_SKIP() << "no notification area: run it through wine-run --desktop";
    }
    Window window;
    EXPECT_TRUE(platform::NotificationAreaAvailable());
    for (const platform::DWORD size : {504u, 488u, 88u}) {
        SCOPED_TRACE(size);
        platform::NOTIFYICONDATA r{};
        r.cbSize = size;
        r.hWnd = window.hWnd();
        r.uID = 40 + size;
        r.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        r.uCallbackMessage = WM_MOUSEMOVE;
        r.hIcon = Icon();
        std::snprintf(r.szTip, sizeof r.szTip, "size %u", static_cast<unsigned>(size));
        ASSERT_EQ(platform::Shell_NotifyIcon(NIM_ADD, &r), TRUE);
        EXPECT_EQ(r.cbSize, size);
        EXPECT_EQ(r.hWnd, window.hWnd());
        EXPECT_STREQ(r.szTip, ("size " + std::to_string(size)).c_str());
        HWND icon = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (icon = DockedIcon()) != nullptr; }));

        window.moves.clear();
        PostMessageA(icon, WM_RBUTTONUP, 0, MAKELPARAM(4, 4));
        ASSERT_TRUE(WaitFor([&] { return !window.moves.empty(); }));
        EXPECT_EQ(window.moves.front().first, r.uID);
        EXPECT_EQ(LOWORD(window.moves.front().second), WM_RBUTTONUP);

        std::snprintf(r.szTip, sizeof r.szTip, "changed");
        EXPECT_EQ(platform::Shell_NotifyIcon(NIM_MODIFY, &r), TRUE);
        EXPECT_EQ(platform::Shell_NotifyIcon(NIM_DELETE, &r), TRUE);
        EXPECT_TRUE(WaitFor([&] { return DockedIcon() == nullptr; }));
        // Gone: the shell refuses to change or remove it again.
        EXPECT_EQ(platform::Shell_NotifyIcon(NIM_MODIFY, &r), FALSE);
        EXPECT_EQ(platform::Shell_NotifyIcon(NIM_DELETE, &r), FALSE);
    }
}

TEST_F(WindowsTray, TheClassAddsChangesAndRemovesItsIcon) {
    if (!TrayHostRunning()) {
        GTEST_SKIP() << "no notification area: run it through wine-run --desktop";
    }
    Window window;
    struct Menu : platform::IMenu {
    } menu;
    clsSysTray tray;
    std::vector<std::string> errors;
    tray.OnError = [&](const std::string& message, const std::string& source) {
        errors.push_back(source + ": " + message);
    };
    ASSERT_TRUE(tray.AttachForm(&window, &menu, nullptr));
    ASSERT_TRUE(tray.AddIconToTray(Icon(), "Netvigil", 0));
    HWND icon = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (icon = DockedIcon()) != nullptr; }));

    // A double click restores the window; a right click while it is hidden
    // opens the tray menu.
    PostMessageA(icon, WM_LBUTTONDBLCLK, 0, MAKELPARAM(4, 4));
    EXPECT_TRUE(WaitFor([&] { return window.log.size() >= 2; }));
    window.visible = false;
    PostMessageA(icon, WM_RBUTTONUP, 0, MAKELPARAM(4, 4));
    EXPECT_TRUE(WaitFor([&] { return window.log.size() >= 3; }));
    EXPECT_EQ(window.log, (std::vector<std::string>{"state 0", "show", "popup"}));

    EXPECT_TRUE(tray.ChangeIcon(Icon(), std::string(200, 'x') + "\r"));
    // The alert the main window asks for reaches the shell, which shows it.
    EXPECT_FALSE(BalloonShown());
    EXPECT_TRUE(tray.ShowBalloon("Netvigil", "one is off.", NIIF_WARNING, 10, 0));
    EXPECT_TRUE(WaitFor([] { return BalloonShown(); })) << "no balloon";
    EXPECT_TRUE(tray.RemoveIcon(0));
    EXPECT_TRUE(WaitFor([&] { return DockedIcon() == nullptr; }));
    EXPECT_TRUE(errors.empty()) << errors.front();
}

// The text of the icon's tip once the pointer rests on the icon: its
// tooltip's, which WM_GETTEXT gives across processes. Wine knows nothing of
// where trayer shows the icon (its window is at 0,0 to Wine): the pointer is
// moved along trayer's strip, at the top right of the desktop, until the tip
// shows.
std::string ShownTip(HWND icon) {
    HWND tip = nullptr;
    while ((tip = FindWindowExW(nullptr, tip, L"tooltips_class32", nullptr)) != nullptr &&
           GetWindow(tip, GW_OWNER) != icon) {
    }
    if (tip == nullptr) {
        return {};
    }
    const int width = GetSystemMetrics(SM_CXSCREEN);
    for (int x = width - 4; x > width - 160; x -= 8) {
        for (const int y : {6, 14, 22}) {
            SetCursorPos(x, y);
            if (WaitFor([&] { return IsWindowVisible(tip) != FALSE; },
                        std::chrono::milliseconds(700))) {
                wchar_t shown[256] = {};
                const auto length = static_cast<std::size_t>(SendMessageW(
                    tip, WM_GETTEXT, std::size(shown), reinterpret_cast<LPARAM>(shown)));
                return platform::Utf8FromUtf16(std::wstring_view(shown, length));
            }
        }
    }
    return {};
}

TEST_F(WindowsTray, TheTipReachesTheShellWhole) {
    if (!TrayHostRunning()) {
        GTEST_SKIP() << "no notification area: run it through wine-run --desktop";
    }
    Window window;
    clsSysTray tray;
    ASSERT_TRUE(tray.AttachForm(&window, nullptr, nullptr));
    const std::string tip = "Büro – Köln Zentrale Drucker is on.\rStraße is off.\rFax 📠 is on.";
    ASSERT_TRUE(tray.AddIconToTray(Icon(), tip, 0));
    HWND icon = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (icon = DockedIcon()) != nullptr; }));
    EXPECT_EQ(ShownTip(icon), tip);
    EXPECT_TRUE(tray.RemoveIcon(0));
    EXPECT_TRUE(WaitFor([&] { return DockedIcon() == nullptr; }));
}

// A shell that refused the add gets it at the next change; one that starts
// afresh, with none of the icons it had, says so with the registered message
// "TaskbarCreated", and gets the icon back. Whether the shell has the icon is
// what it answers to a change of nothing: trayer does not always dock an
// icon again that it has just let go.
TEST_F(WindowsTray, TheIconComesBackAfterARefusedAddAndAShellStartedAfresh) {
    if (!TrayHostRunning()) {
        GTEST_SKIP() << "no notification area: run it through wine-run --desktop";
    }
    Window window;
    clsSysTray tray;
    ASSERT_TRUE(tray.AttachForm(&window, nullptr, nullptr));
    // What the shell does to an icon behind the program's back: an icon of
    // the same window and number in the way, so that the add is refused; the
    // icon gone, as from a shell that starts afresh.
    NOTIFYICONDATAW other{};
    other.cbSize = sizeof other;
    other.hWnd = reinterpret_cast<HWND>(static_cast<std::intptr_t>(window.hWnd()));
    other.uID = 1;
    const auto shellHasIt = [&other] {
        NOTIFYICONDATAW nothing = other;
        nothing.uFlags = 0;
        return ::Shell_NotifyIconW(NIM_MODIFY, &nothing) != FALSE;
    };
    ASSERT_NE(::Shell_NotifyIconW(NIM_ADD, &other), FALSE);
    EXPECT_TRUE(tray.AddIconToTray(Icon(), "Netvigil", 0));
    ASSERT_NE(::Shell_NotifyIconW(NIM_DELETE, &other), FALSE);
    ASSERT_FALSE(shellHasIt());

    EXPECT_TRUE(tray.ChangeIcon(Icon(), "one is on."));
    EXPECT_TRUE(shellHasIt()) << "the refused add was not made again";

    ASSERT_NE(::Shell_NotifyIconW(NIM_DELETE, &other), FALSE);
    ASSERT_FALSE(shellHasIt());
    PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(WaitFor(shellHasIt)) << "the shell started afresh got no icon";

    EXPECT_TRUE(tray.RemoveIcon(0));
    EXPECT_FALSE(shellHasIt());
    // Removed, it stays removed.
    PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_FALSE(WaitFor(shellHasIt, std::chrono::milliseconds(300)));
}

} // namespace
