// The main window's life against the fake notification area: start-up,
// the two menus and their states, the tray, the tick, and the orderly exit.

#include "app/frmMain.h"
#include "options/frmOpt.h"
#include "platform/App.h"
#include "platform/fake/fake_process.h"
#include "platform/fake/fake_registry.h"
#include "platform/fake/fake_shell.h"
#include "platform/paths.h"
#include "platform/qt/Widgets.h"
#include "platform/registry.h"
#include "platform/settings_store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace platform;
using namespace platform::qt;

namespace {

constexpr const char* kReply = "Reply from 10.0.0.1: bytes=32 time<1ms TTL=64\r\n";

std::string Tip(const NOTIFYICONDATA& r) {
    return std::string(r.szTip, strnlen(r.szTip, sizeof r.szTip));
}

void BrowserValue(const std::string& value) {
    HKEY h = 0;
    RegCreateKeyEx(HKEY_CLASSES_ROOT, "htmlfile\\shell\\opennew\\command", 0, "", 0, KEY_ALL_ACCESS,
                   nullptr, &h, nullptr);
    RegSetValueEx(h, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                  static_cast<DWORD>(value.size() + 1));
    RegCloseKey(h);
}

class Life : public ::testing::Test {
protected:
    void SetUp() override {
        fake::ResetRegistry();
        fake::ShellRequests().clear();
        fake::SetNotificationArea(true);
        fake::SetProcessScript([](const std::string& line) {
            return std::optional<std::string>(line.ends_with("10.0.0.1") ? kReply : "");
        });
        SetCommand("");
        Form::SetLastFormUnloaded([this] { ++m_ends; });
    }
    void TearDown() override {
        if (frmMain* main = m_main.data(); main != nullptr && !main->Unloaded()) {
            main->Unload();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Form::SetLastFormUnloaded(nullptr);
        fake::SetProcessScript(nullptr);
        fake::SetNotificationArea(true);
        SetCommand(std::nullopt);
    }
    frmMain& Start(const std::string& command = "") {
        SetCommand(command);
        auto* main = new frmMain;
        m_main = main;
        main->Load();
        return *main;
    }
    static std::vector<DWORD> Messages() {
        std::vector<DWORD> messages;
        for (const auto& request : fake::ShellRequests()) {
            messages.push_back(request.message);
        }
        return messages;
    }

    FormPointer<frmMain> m_main;
    int m_ends = 0;
};

TEST_F(Life, StartsWithItsIconBoardAndTimer) {
    SaveSetting("Netvigil", "Remote Hosts", "Host 1", "Router");
    frmMain& main = Start();
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION}));
    const NOTIFYICONDATA& add = fake::ShellRequests()[0].record;
    EXPECT_EQ(Tip(add), "Netvigil");
    EXPECT_EQ(add.hWnd, main.hWnd());
    EXPECT_NE(add.hIcon, 0u);
    EXPECT_EQ(main.lblPC(1)->Caption(), "Router");
    EXPECT_EQ(main.nSelectedHost, 0);
    EXPECT_TRUE(main.Visible());
    EXPECT_TRUE(main.tmrPING.Enabled());
    EXPECT_TRUE(main.mnuStop->Visible());
    EXPECT_FALSE(main.mnuResume->Visible());
    EXPECT_TRUE(main.mnpStop->Visible());
    EXPECT_FALSE(main.mnpResume->Visible());
    EXPECT_EQ(MenuOf(main.mnuPopup)->actions().size(), 5);
    // Every host button takes its own clicks, above the drag surface.
    for (int n = 1; n <= 20; ++n) {
        main.btn(n)->SetVisible(true);
        QPushButton* button = WidgetOf(main.btn(n));
        EXPECT_EQ(ClientOf(&main)->childAt(button->geometry().center()), button) << n;
    }
}

TEST_F(Life, HideArgumentIsTheWholeArgumentInAnyCase) {
    for (const char* hidden : {"/HIDE", "/hide", "/HiDe"}) {
        frmMain& main = Start(hidden);
        EXPECT_FALSE(main.Visible()) << hidden;
        EXPECT_TRUE(main.tmrPING.Enabled());
        main.Unload();
    }
    for (const char* shown : {"/HIDE x", "/HIDE ", "", "-hide"}) {
        frmMain& main = Start(shown);
        EXPECT_TRUE(main.Visible()) << shown;
        main.Unload();
    }
    // No notification area to come back from: minimized, never out of reach.
    fake::SetNotificationArea(false);
    frmMain& main = Start("/hide");
    EXPECT_TRUE(main.Visible());
    EXPECT_EQ(main.WindowState(), 1);
}

TEST_F(Life, BrowserPathIsTheQuotedPath) {
    BrowserValue("\"/bin/sh\" %1");
    EXPECT_EQ(Start().sBrowserPath, "/bin/sh");
}

// A value that names no program, or none at all, would leave a web host's
// Explore doing nothing: Netvigil's own launcher stands in.
TEST_F(Life, NoBrowserOrAMissingOneGivesTheLauncher) {
    const std::string launcher = "\"" + FindProgram("browser") + "\"";
    ASSERT_NE(launcher, "\"\"");
    for (const char* value : {"\"D:\\Apps\\browser.exe\" %1", "12345", "abc"}) {
        BrowserValue(value);
        EXPECT_EQ(Start().sBrowserPath, launcher) << value;
        m_main->Unload();
    }
    fake::ResetRegistry();
    EXPECT_EQ(Start().sBrowserPath, launcher);
}

TEST_F(Life, StopAndResumeKeepBothMenusInStep) {
    frmMain& main = Start();
    main.mnpStop->Click();
    EXPECT_FALSE(main.tmrPING.Enabled());
    EXPECT_FALSE(main.mnuStop->Visible());
    EXPECT_TRUE(main.mnuResume->Visible());
    EXPECT_FALSE(main.mnpStop->Visible());
    EXPECT_TRUE(main.mnpResume->Visible());
    main.mnuResume->Click();
    EXPECT_TRUE(main.tmrPING.Enabled());
    EXPECT_TRUE(main.mnuStop->Visible());
    EXPECT_FALSE(main.mnuResume->Visible());
    EXPECT_TRUE(main.mnpStop->Visible());
    EXPECT_FALSE(main.mnpResume->Visible());
}

TEST_F(Life, TrayHidesAndTipsTheFirstEightLines) {
    frmMain& main = Start();
    for (int n = 1; n <= 10; ++n) {
        main.sHostStatus(n) = n == 3 ? "" : "h" + std::to_string(n) + " is on.";
    }
    main.mnuTray->Click();
    EXPECT_FALSE(main.Visible());
    const auto& last = fake::ShellRequests()[fake::ShellRequests().size() - 2];
    EXPECT_EQ(last.message, NIM_ADD);
    EXPECT_EQ(Tip(last.record),
              "h1 is on.\rh2 is on.\r\rh4 is on.\rh5 is on.\rh6 is on.\rh7 is on.\rh8 is on.");
    main.mnpTray->Click();
    EXPECT_TRUE(main.Visible());

    fake::SetNotificationArea(false);
    main.mnuTray->Click();
    EXPECT_TRUE(main.Visible());
    EXPECT_EQ(main.WindowState(), 1);
}

TEST_F(Life, TickSweepsHidesWhenMinimizedAndSetsTheTip) {
    SaveSetting("Netvigil", "Remote Hosts", "Host 1", "one");
    SaveSetting("Netvigil", "Remote Hosts", "IP Address 1", "10.0.0.1");
    for (int n = 2; n <= 20; ++n) {
        SaveSetting("Netvigil", "Remote Hosts", "Host " + std::to_string(n), "");
    }
    frmMain& main = Start();
    main.SetWindowState(1);
    main.tmrPING.SetInterval(1);
    while (fake::ShellRequests().back().message != NIM_MODIFY) {
        DoEvents();
    }
    main.tmrPING.SetEnabled(false);
    EXPECT_EQ(Tip(fake::ShellRequests().back().record), "one is on.\r");
    EXPECT_FALSE(main.Visible());
    EXPECT_EQ(main.WindowState(), 1);
    // Restore From Tray keeps the state; a double click on the icon and a
    // balloon click restore it.
    main.mnpTray->Click();
    EXPECT_TRUE(main.Visible());
    EXPECT_EQ(main.WindowState(), 1);
    main.Hide();
    main.RaiseMouseMove(0, 0, 0x203 * 15.0F, 0);
    EXPECT_TRUE(main.Visible());
    EXPECT_EQ(main.WindowState(), 0);
    main.SetWindowState(1);
    main.Hide();
    main.RaiseMouseMove(0, 0, 0x405 * 15.0F, 0);
    EXPECT_TRUE(main.Visible());
    EXPECT_EQ(main.WindowState(), 0);
}

TEST_F(Life, OptionsThenCancelReloadsTheBoard) {
    frmMain& main = Start();
    SaveSetting("Netvigil", "Remote Hosts", "Host 2", "changed behind its back");
    QTimer::singleShot(0, [] {
        for (Form* form : Form::Forms()) {
            if (auto* options = dynamic_cast<frmOpt*>(form)) {
                options->mnuCancel->Click();
            }
        }
    });
    main.mnpOptions->Click();
    EXPECT_EQ(main.lblPC(2)->Caption(), "changed behind its back");
    EXPECT_TRUE(main.tmrPING.Enabled());
}

TEST_F(Life, OrderlyExitRemovesTheIconAndUnloadsEverything) {
    frmMain& main = Start();
    main.mnpExit->Click();
    EXPECT_EQ(fake::ShellRequests().back().message, NIM_DELETE);
    EXPECT_EQ(fake::ShellRequests().back().record.hWnd, main.hWnd());
    EXPECT_TRUE(main.Unloaded());
    EXPECT_EQ(m_ends, 1);
    EXPECT_TRUE(Form::Forms().empty());
}

// The four ways a board gets closed while one of its own loops runs: the
// host menu or the tray menu is up, or a yield of a timed sweep takes the
// close button or the tray menu's Exit. Nothing may touch the window after
// its unload; the sanitizer run of this test catches what would.
TEST_F(Life, ClosedInsideItsOwnLoopsTheBoardIsLeftAlone) {
    const auto closeButton = [](frmMain& main) { WindowOf(&main)->close(); };
    const auto trayExit = [](frmMain& main) { main.mnpExit->Click(); };
    const auto inMenu = [this](const std::function<void(frmMain&)>& open,
                               const std::function<void(frmMain&)>& close) {
        frmMain& main = Start();
        QTimer::singleShot(20, WindowOf(&main), [&main, close] { close(main); });
        open(main);
        EXPECT_TRUE(main.Unloaded());
    };
    const auto inSweep = [this](const std::function<void(frmMain&)>& close) {
        frmMain& main = Start();
        int pings = 0;
        fake::SetProcessScript([&](const std::string&) {
            if (++pings == 3) {
                QTimer::singleShot(0, WindowOf(&main), [&main, close] { close(main); });
            }
            return std::optional<std::string>(kReply);
        });
        main.tmrPING.SetInterval(1);
        QElapsedTimer clock;
        clock.start();
        while (!main.Unloaded() && clock.elapsed() < 5000) {
            DoEvents();
        }
        EXPECT_TRUE(main.Unloaded());
        EXPECT_EQ(pings, 3);
    };

    // A right button released on a host button opens its menu.
    inMenu(
        [](frmMain& main) {
            QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), QPointF(2, 2),
                                Qt::RightButton, Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(WidgetOf(main.btn(1)), &release);
        },
        closeButton);
    inMenu(
        [](frmMain& main) {
            main.mnuTray->Click();
            main.RaiseMouseMove(0, 0, 0x205 * 15.0F, 0);
        },
        closeButton);
    inSweep(closeButton);
    inSweep(trayExit);

    EXPECT_EQ(m_ends, 4);
    EXPECT_EQ(fake::ShellRequests().back().message, NIM_DELETE);
    // Every board is freed once the stack has unwound.
    const FormPointer<frmMain> last = m_main;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(last.isNull());
}

} // namespace
