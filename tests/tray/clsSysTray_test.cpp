// The tray class against a recording notification area: the records it sends,
// their size by shell version, and how it reports what went wrong.

#include "platform/fake/fake_shell.h"
#include "tray/clsSysTray.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace platform;

namespace {

class Window : public IWindow {
public:
    HWND hWnd() const override { return 0x4242; }
    int ScaleMode() const override { return scaleMode; }
    double TwipsPerPixelX() const override { return 15.0; }
    void SetWindowState(int state) override { log.push_back("state " + std::to_string(state)); }
    void Show() override { log.push_back("show"); }
    bool Visible() const override { return visible; }
    void PopupMenu(IMenu&, IMenuItem* defaultItem) override {
        log.push_back(defaultItem != nullptr ? "popup with default" : "popup");
    }
    void PopupMenuAt(IMenu&, IMenuItem* defaultItem, float x, float y) override {
        log.push_back(std::string(defaultItem != nullptr ? "popup with default" : "popup") +
                      " at " + std::to_string(static_cast<int>(x)) + "," +
                      std::to_string(static_cast<int>(y)));
    }
    void SubscribeMouseMove(MouseHandler handler) override { mouseMove = std::move(handler); }

    int scaleMode = 1;
    bool visible = true;
    std::vector<std::string> log;
    MouseHandler mouseMove;
};

class Tray : public ::testing::Test {
protected:
    void SetUp() override {
        fake::ShellRequests().clear();
        fake::SetShellAnswer(nullptr);
        fake::SetShellVersion(6);
        fake::SetVersionFailure(false);
        tray.OnError = [this](const std::string& message, const std::string& source) {
            errors.push_back(source + ": " + message);
        };
    }
    void TearDown() override {
        fake::SetShellVersion(6);
        fake::SetVersionFailure(false);
        fake::SetShellAnswer(nullptr);
    }
    static const NOTIFYICONDATA& Last() { return fake::ShellRequests().back().record; }
    static std::string Tip(const NOTIFYICONDATA& r) { return std::string(r.szTip, sizeof r.szTip); }

    Window window; // outlives the tray, as an owner window does
    clsSysTray tray;
    std::vector<std::string> errors;
};

std::string Field(const std::string& text, std::size_t width) {
    std::string field = text + '\0';
    field.resize(width, ' ');
    return field;
}

TEST_F(Tray, AddSendsAddThenSetVersionWithTheWholeRecord) {
    ASSERT_TRUE(tray.AttachForm(&window, nullptr, nullptr));
    EXPECT_TRUE(tray.AddIconToTray(7, "Netvigil", 99));
    const auto& requests = fake::ShellRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].message, NIM_ADD);
    EXPECT_EQ(requests[1].message, NIM_SETVERSION);
    const NOTIFYICONDATA r = requests[0].record;
    EXPECT_EQ(r.cbSize, 504u);
    EXPECT_EQ(r.hWnd, 0x4242); // the attached window's, not the argument
    // Fixed, not drawn from anything that moves between starts.
    EXPECT_EQ(r.uID, 1u);
    EXPECT_EQ(r.uFlags, 7u);
    EXPECT_EQ(r.uCallbackMessage, 0x200u);
    EXPECT_EQ(r.hIcon, 7u);
    EXPECT_EQ(Tip(r), Field("Netvigil", 128));
    EXPECT_EQ(r.uTimeout, 3u);
    EXPECT_EQ(std::memcmp(&requests[1].record, &r, sizeof r), 0);
    // A second add (the Tray command) adds again.
    EXPECT_TRUE(tray.AddIconToTray(7, "a\rb\r", 0));
    EXPECT_EQ(requests[2].message, NIM_ADD);
    EXPECT_EQ(requests[2].record.uID, r.uID);
    EXPECT_EQ(Tip(requests[2].record), Field("a\rb\r", 128));
    EXPECT_TRUE(errors.empty());
}

TEST_F(Tray, EachOperationTouchesOnlyItsFields) {
    tray.AttachForm(&window, nullptr, nullptr);
    tray.AddIconToTray(7, "start", 0);
    EXPECT_TRUE(tray.ShowBalloon("  Title  ", "Message", NIIF_WARNING, 30, 0));
    NOTIFYICONDATA r = Last();
    EXPECT_EQ(fake::ShellRequests().back().message, NIM_MODIFY);
    EXPECT_EQ(r.uFlags, 16u);
    EXPECT_EQ(r.uTimeout, 30u & 3u);
    EXPECT_EQ(r.dwInfoFlags, 2u);
    EXPECT_EQ(std::string(r.szInfo, 256), Field("Message", 256));
    EXPECT_EQ(std::string(r.szInfoTitle, 64), Field("  Title  ", 64));
    EXPECT_EQ(Tip(r), Field("start", 128)); // not sent again, still there

    EXPECT_TRUE(tray.ChangeIcon(8, "one is on.\r"));
    r = Last();
    EXPECT_EQ(r.uFlags, 7u);
    EXPECT_EQ(r.hIcon, 8u);
    EXPECT_EQ(r.uCallbackMessage, 0x200u);
    EXPECT_EQ(Tip(r), Field("one is on.\r", 128));
    EXPECT_EQ(std::string(r.szInfoTitle, 64), Field("  Title  ", 64)); // kept, not sent as such
    EXPECT_EQ(r.uTimeout, 30u & 3u);

    EXPECT_TRUE(tray.RemoveIcon(0));
    EXPECT_EQ(fake::ShellRequests().back().message, NIM_DELETE);
    EXPECT_EQ(Last().uFlags, 7u);
    EXPECT_EQ(Last().hWnd, 0x4242);
}

TEST_F(Tray, TooltipsAreCutByCharactersNeverMidCharacter) {
    tray.AttachForm(&window, nullptr, nullptr);
    tray.AddIconToTray(7, std::string(127, 'x'), 0);
    EXPECT_EQ(Tip(Last()), std::string(127, 'x') + '\0');
    tray.ChangeIcon(7, std::string(128, 'y'));
    EXPECT_EQ(Tip(Last()), std::string(128, 'y'));
    tray.ChangeIcon(7, std::string(300, 'z'));
    EXPECT_EQ(Tip(Last()), std::string(128, 'z'));

    const std::string tip = "Grüße: 世界 is on.\r";
    tray.ChangeIcon(7, tip);
    EXPECT_EQ(std::string(Last().szTip).substr(0, tip.size()), tip);
    // 127 two-byte characters do not fit 128 bytes: whole ones only, then blanks.
    std::string wide;
    for (int i = 0; i < 127; ++i) {
        wide += "é";
    }
    tray.ChangeIcon(7, wide);
    const std::string sent = Tip(Last());
    EXPECT_EQ(sent, wide.substr(0, 128));
    tray.ChangeIcon(7, std::string(63, 'a') + "é");
    EXPECT_EQ(Tip(Last()).substr(0, 66), std::string(63, 'a') + "é" + '\0');
}

// The shell gets whole, well-formed characters only: a byte that begins none
// goes as U+FFFD, where an overlong NUL once ended the tip early and a
// surrogate went through as it was; and the smallest record, which holds 64
// bytes of the tip, no longer ends in half a character.
TEST_F(Tray, TheShellGetsWholeCharactersOnly) {
    tray.AttachForm(&window, nullptr, nullptr);
    tray.AddIconToTray(7,
                       "a\xE0\x80\x80"
                       "b\xED\xA7\xA6"
                       "c",
                       0);
    const std::string bad = "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD";
    EXPECT_EQ(std::string(Last().szTip), "a" + bad + "b" + bad + "c");

    fake::SetShellVersion(4);
    clsSysTray old;
    old.ChangeIcon(7, std::string(63, 'a') + "é");
    EXPECT_EQ(Last().cbSize, 88u);
    EXPECT_EQ(std::string(Last().szTip, 64), std::string(63, 'a') + ' ');
}

TEST_F(Tray, SizeFollowsTheShellVersion) {
    const std::pair<std::optional<WORD>, DWORD> cases[] = {
        {7, 504}, {6, 504}, {5, 488}, {4, 88}, {std::nullopt, 88}};
    for (const auto& [version, size] : cases) {
        fake::SetShellVersion(version);
        clsSysTray fresh;
        fresh.ChangeIcon(7, "tip");
        EXPECT_EQ(Last().cbSize, size);
        // Fixed for the instance's life.
        fake::SetShellVersion(6);
        fresh.ChangeIcon(7, "tip");
        EXPECT_EQ(Last().cbSize, size);
    }
}

TEST_F(Tray, AFailingVersionTestIsReportedAndTriedAgain) {
    fake::SetVersionFailure(true);
    EXPECT_FALSE(tray.ChangeIcon(7, "tip"));
    EXPECT_EQ(Last().cbSize, 0u);
    ASSERT_EQ(errors,
              std::vector<std::string>{"clsTrayIcon.ChangeIcon(): File not found: version.dll"});
    fake::SetVersionFailure(false);
    EXPECT_TRUE(tray.ChangeIcon(7, "tip"));
    EXPECT_EQ(Last().cbSize, 504u);
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(Tray, RefusalsAreNotFailuresButMissingPiecesAre) {
    // Before any add: handle 0, the shell refuses, and that is no failure.
    fake::SetShellAnswer([](DWORD) { return FALSE; });
    EXPECT_TRUE(tray.ChangeIcon(7, "tip"));
    EXPECT_EQ(Last().hWnd, 0);
    EXPECT_TRUE(errors.empty());

    // An unusable icon keeps the old one, and the request still goes out.
    fake::SetShellAnswer(nullptr);
    EXPECT_FALSE(tray.ChangeIcon(0, "new tip"));
    EXPECT_EQ(Last().hIcon, 7u);
    EXPECT_EQ(Tip(Last()), Field("new tip", 128));
    EXPECT_EQ(errors.back(), "clsTrayIcon.ChangeIcon(): Invalid picture");

    // A shell that cannot be reached at all: every step still runs, and the
    // last failure is reported once.
    fake::SetShellAnswer([](DWORD) -> BOOL {
        throw Win32CallError("Can't find DLL entry point Shell_NotifyIconA in shell32.dll");
    });
    errors.clear();
    EXPECT_FALSE(tray.AddIconToTray(7, "tip", 5));
    EXPECT_EQ(errors,
              std::vector<std::string>{"clsTrayIcon.AddIconToTray(): Can't find DLL entry point "
                                       "Shell_NotifyIconA in shell32.dll"});
}

TEST_F(Tray, WithoutAWindowTheCallersHandleIsUsed) {
    EXPECT_FALSE(tray.AttachForm(nullptr, nullptr, nullptr));
    EXPECT_EQ(errors, std::vector<std::string>{"clsTrayIcon.AttachForm(): Object required"});
    tray.AddIconToTray(7, "tip", 1234);
    EXPECT_EQ(Last().hWnd, 1234);
    tray.RemoveIcon(77);
    EXPECT_EQ(Last().hWnd, 77);
}

TEST_F(Tray, CallbacksArriveAsMouseMoves) {
    struct Menu : IMenu {
    } menu;
    struct Item : IMenuItem {
    } item;
    tray.AttachForm(&window, &menu, nullptr);
    EXPECT_EQ(tray.PopupMenu(), &menu);
    std::vector<std::string> balloons;
    tray.OnBalloonClick = [&](const std::string& title, const std::string& text) {
        balloons.push_back(title + "|" + text);
    };
    window.mouseMove(0, 0, 7725, 0); // 515: double click
    window.mouseMove(0, 0, 7755, 0); // 517: right button up, window visible
    window.mouseMove(0, 0, 3000, 0); // 200: nothing
    EXPECT_EQ(window.log, (std::vector<std::string>{"state 0", "show"}));
    window.visible = false;
    window.mouseMove(0, 0, 7755, 0);
    tray.AttachForm(&window, nullptr, &item); // menus kept, default item added
    window.visible = true;
    window.mouseMove(0, 0, 7755, 0);
    EXPECT_EQ(window.log,
              (std::vector<std::string>{"state 0", "show", "popup", "popup with default"}));

    window.mouseMove(0, 0, 15435, 0); // 1029 before any balloon
    tray.ShowBalloon("  Title  ", " Text ", 1, 10, 0);
    window.mouseMove(0, 0, 15435, 0);
    EXPECT_EQ(balloons, (std::vector<std::string>{"|", "Title|Text"}));

    window.scaleMode = 3;
    window.log.clear();
    window.mouseMove(0, 0, 516.5F, 0); // 516, halves to even: nothing
    window.mouseMove(0, 0, 515.4F, 0);
    window.mouseMove(0, 0, 517.4F, 0);
    EXPECT_EQ(window.log, (std::vector<std::string>{"state 0", "show", "popup with default"}));
}

TEST_F(Tray, ShowPopupMenuWorksOnItsArguments) {
    struct Menu : IMenu {
    } menu;
    EXPECT_EQ(tray.ShowPopupMenu(&window, &menu, 7755, 300, nullptr), 0);
    EXPECT_EQ(tray.ShowPopupMenu(&window, nullptr, 7755, 300, nullptr), 0);
    EXPECT_EQ(tray.ShowPopupMenu(&window, &menu, 7725, 0, nullptr), 0);
    // Pixels are not recognised: x is always divided by twips per pixel.
    EXPECT_EQ(tray.ShowPopupMenu(&window, &menu, 517, 0, nullptr), 0);
    EXPECT_EQ(tray.ShowPopupMenu(&window, &menu, 15435, 0, nullptr), 0);
    EXPECT_EQ(window.log, (std::vector<std::string>{"popup at 7755,300", "state 0", "show"}));
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(tray.ShowPopupMenu(nullptr, &menu, 7755, 0, nullptr), 91);
    EXPECT_EQ(errors,
              std::vector<std::string>{
                  "clsTrayIcon.ShowPopupMenu(): Object variable or With block variable not set"});
}

} // namespace
