// The host action menu: which command line each item starts, how, and when
// nothing is started at all.

#include "app/frmMain.h"
#include "platform/fake/fake_process.h"
#include "platform/fake/fake_registry.h"
#include "platform/fake/fake_shell.h"
#include "platform/gui/App.h"
#include "platform/qt/Widgets.h"
#include "platform/settings_store.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace platform;
using namespace platform::qt;

namespace {

using Started = std::vector<std::pair<std::string, int>>;

class HostActions : public ::testing::Test {
protected:
    void SetUp() override {
        fake::ResetRegistry();
        fake::StartedProcesses().clear();
        // Nothing is really started: every command answers with no output.
        fake::SetProcessScript([](const std::string&) { return std::optional<std::string>(""); });
        SaveSetting("Netvigil", "Remote Hosts", "Host 3", "Server");
        SaveSetting("Netvigil", "Remote Hosts", "IP Address 3", "192.168.1.20");
        SetCommand("");
        m_main = new frmMain;
        m_main->Load();
        m_main->tmrPING.SetEnabled(false);
        m_main->sBrowserPath = "/usr/lib/netvigil/browser";
        fake::StartedProcesses().clear();
    }
    void TearDown() override {
        m_main->Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        fake::SetProcessScript(nullptr);
        SetCommand(std::nullopt);
    }

    // A mouse release over button n; while its menu is open, item is chosen
    // (or the menu closed when there is none).
    void Release(int n, MenuItem* item, Qt::MouseButton button = Qt::LeftButton) {
        m_menuOpened = false;
        QTimer::singleShot(0, [this, item] {
            m_menuOpened = MenuOf(m_main->mnuPC)->isVisible();
            if (item != nullptr) {
                ActionOf(item)->trigger();
            }
            MenuOf(m_main->mnuPC)->close();
        });
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(3, 3), QPointF(3, 3), button,
                            Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(WidgetOf(m_main->btn(n)), &release);
    }
    // A key pressed on the board, where the focus rests on the sink; a menu
    // it opens gets the keys given (none: Esc).
    void Key(int key, const std::vector<int>& menuKeys = {},
             Qt::KeyboardModifiers mods = Qt::NoModifier) {
        m_menuOpened = false;
        QTimer::singleShot(0, [this, menuKeys] {
            QMenu* menu = MenuOf(m_main->mnuPC);
            m_menuOpened = menu->isVisible();
            m_menuAt = menu->pos();
            for (const int k : menuKeys.empty() ? std::vector<int>{Qt::Key_Escape} : menuKeys) {
                QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
                QCoreApplication::sendEvent(menu, &press);
            }
            menu->close();
        });
        QKeyEvent press(QEvent::KeyPress, key, mods);
        QCoreApplication::sendEvent(WidgetOf(m_main->cm1), &press);
        DoEvents(); // no menu opened: the timer runs here
    }
    static Started Processes() {
        Started started;
        for (const auto& p : fake::StartedProcesses()) {
            started.emplace_back(p.commandLine, p.showWindow);
        }
        return started;
    }

    frmMain* m_main = nullptr;
    bool m_menuOpened = false;
    QPoint m_menuAt;
};

TEST_F(HostActions, EachItemStartsItsCommandLine) {
    m_main->btn(3)->SetVisible(true);
    Release(3, m_main->mnuShutdown);
    EXPECT_TRUE(m_menuOpened);
    EXPECT_EQ(m_main->nSelectedHost, 3);
    Release(3, m_main->mnuRestart);
    Release(3, m_main->mnuAbort);
    Release(3, m_main->mnuExplore);
    EXPECT_EQ(Processes(), (Started{{"shutdown -m \\\\192.168.1.20 -s -t 10 -f", 0},
                                    {"shutdown -m \\\\192.168.1.20 -r -t 10 -f", 0},
                                    {"shutdown -m \\\\192.168.1.20 -a", 0},
                                    {"explorer \\\\192.168.1.20", 1}}));
}

TEST_F(HostActions, WebHostsOpenInTheBrowser) {
    for (const char* web : {"www.example.com", "WWW.Example.com", "wWw.x"}) {
        SaveSetting("Netvigil", "Remote Hosts", "IP Address 3", web);
        m_main->LoadSettings();
        fake::StartedProcesses().clear();
        Release(3, m_main->mnuExplore);
        EXPECT_EQ(Processes(), (Started{{std::string("/usr/lib/netvigil/browser ") + web, 1}}));
    }
    SaveSetting("Netvigil", "Remote Hosts", "IP Address 3", "fileserverwww");
    m_main->LoadSettings();
    fake::StartedProcesses().clear();
    Release(3, m_main->mnuExplore);
    EXPECT_EQ(Processes(), (Started{{"explorer \\\\fileserverwww", 1}}));
}

TEST_F(HostActions, AnyButtonOpensTheMenuAndCancelStartsNothing) {
    Release(3, nullptr, Qt::RightButton);
    EXPECT_TRUE(m_menuOpened);
    Release(3, m_main->mnuCancel, Qt::MiddleButton);
    EXPECT_TRUE(m_menuOpened);
    EXPECT_EQ(m_main->nSelectedHost, 3);
    EXPECT_TRUE(Processes().empty());
}

TEST_F(HostActions, NothingSelectedStartsNothingAndAddressesAreReadFresh) {
    m_main->mnuShutdown_Click();
    m_main->mnuExplore_Click();
    EXPECT_TRUE(Processes().empty());

    Release(3, nullptr);
    SaveSetting("Netvigil", "Remote Hosts", "IP Address 3", "10.1.2.3");
    m_main->LoadSettings();
    EXPECT_EQ(m_main->nSelectedHost, 3); // a reload keeps the selection
    m_main->mnuAbort_Click();
    EXPECT_EQ(Processes(), (Started{{"shutdown -m \\\\10.1.2.3 -a", 0}}));
}

TEST_F(HostActions, HostButtonsNeverKeepTheFocus) {
    m_main->Show();
    QApplication::setActiveWindow(WindowOf(m_main));
    m_main->btn(3)->SetVisible(true);
    m_main->btn(3)->SetFocus();
    EXPECT_FALSE(WidgetOf(m_main->btn(3))->hasFocus());
    EXPECT_TRUE(WidgetOf(m_main->cm1)->hasFocus());
    Release(3, m_main->mnuAbort);
    EXPECT_TRUE(m_menuOpened);
    EXPECT_EQ(Processes().size(), 1u);
}

TEST_F(HostActions, TheKeyboardSelectsNamedHostsAndOpensTheMenuOfOnesOnline) {
    for (int n = 1; n <= 20; ++n) {
        if (n != 3) {
            SaveSetting("Netvigil", "Remote Hosts", "Host " + std::to_string(n),
                        n == 1 ? "Alpha" : "");
        }
    }
    m_main->LoadSettings();
    const auto marked = [this] {
        int at = 0;
        for (int n = 1; n <= 20; ++n) {
            at = m_main->lblPC(n)->FocusMark() ? (at == 0 ? n : -1) : at;
        }
        return at;
    };
    // Up and Down over the named slots (1 and 3), stopping at either end.
    Key(Qt::Key_Down);
    EXPECT_EQ(marked(), 1);
    EXPECT_EQ(m_main->cm1->AccessibleName(), "Alpha, not checked yet");
    for (const auto& [key, slot] : std::vector<std::pair<int, int>>{
             {Qt::Key_Down, 3}, {Qt::Key_Down, 3}, {Qt::Key_Up, 1}, {Qt::Key_Up, 1}}) {
        Key(key);
        EXPECT_EQ(marked(), slot);
    }
    // Host 1 is not online: no menu.
    Key(Qt::Key_Return);
    EXPECT_FALSE(m_menuOpened);
    Key(Qt::Key_Down);
    m_main->btn(3)->SetVisible(true);
    // The menu opens under the button; arrows and Enter choose in it (Down
    // twice passes the separator), Esc closes it.
    Key(Qt::Key_Return, {Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});
    EXPECT_TRUE(m_menuOpened);
    const QWidget* button = WidgetOf(m_main->btn(3));
    EXPECT_LE((m_menuAt - button->mapToGlobal(QPoint(0, button->height()))).manhattanLength(), 2);
    EXPECT_EQ(Processes(), (Started{{"shutdown -m \\\\192.168.1.20 -s -t 10 -f", 0}}));
    for (const auto& [key, mods] :
         std::vector<std::pair<int, Qt::KeyboardModifiers>>{{Qt::Key_Space, Qt::NoModifier},
                                                            {Qt::Key_Menu, Qt::NoModifier},
                                                            {Qt::Key_F10, Qt::ShiftModifier}}) {
        Key(key, {}, mods);
        EXPECT_TRUE(m_menuOpened) << key;
    }
    EXPECT_EQ(Processes().size(), 1u);
    EXPECT_EQ(m_main->nSelectedHost, 3);
    // A reload that leaves the slot unnamed drops the selection.
    SaveSetting("Netvigil", "Remote Hosts", "Host 3", "");
    m_main->LoadSettings();
    EXPECT_EQ(marked(), 0);
}

// The focus sink speaks for the selected host anew when its state changes,
// and not for each new round trip, which a screen reader would read out after
// every sweep; the light itself keeps the latest.
TEST_F(HostActions, TheSelectedHostIsSpokenAgainWhenItsStateChanges) {
    for (int n = 1; n <= 20; ++n) {
        if (n != 3) {
            SaveSetting("Netvigil", "Remote Hosts", "Host " + std::to_string(n),
                        n == 1 ? "Alpha" : "");
        }
    }
    m_main->LoadSettings();
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    ASSERT_EQ(m_main->cm1->AccessibleName(), "Server, not checked yet");
    const auto reply = [](const std::string& time) {
        fake::SetProcessScript([time](const std::string& line) {
            return std::optional<std::string>(
                line.ends_with("192.168.1.20") && !time.empty()
                    ? "Reply from 192.168.1.20: bytes=32 time=" + time + " TTL=64\r\n"
                    : "");
        });
    };
    reply("5ms");
    m_main->PingHosts();
    const std::string online = m_main->cm1->AccessibleName();
    EXPECT_TRUE(online.starts_with("Server, online, 5 ms, since ")) << online;
    EXPECT_EQ(m_main->shp(3)->AccessibleName(), online);
    reply("9ms");
    m_main->PingHosts();
    EXPECT_EQ(m_main->cm1->AccessibleName(), online);
    EXPECT_TRUE(m_main->shp(3)->AccessibleName().starts_with("Server, online, 9 ms, since "));
    reply("");
    m_main->PingHosts();
    EXPECT_TRUE(m_main->cm1->AccessibleName().starts_with("Server, offline since "))
        << m_main->cm1->AccessibleName();
    // Selected again, it says what the light says now.
    reply("7ms");
    m_main->PingHosts();
    reply("8ms");
    m_main->PingHosts();
    EXPECT_TRUE(m_main->cm1->AccessibleName().starts_with("Server, online, 7 ms, "));
    Key(Qt::Key_Up);
    Key(Qt::Key_Down);
    EXPECT_TRUE(m_main->cm1->AccessibleName().starts_with("Server, online, 8 ms, "));
    EXPECT_EQ(m_main->cm1->AccessibleName(), m_main->shp(3)->AccessibleName());
}

TEST_F(HostActions, TheTrayMenuTakesArrowsEnterAndEsc) {
    const auto popup = [this](int key) {
        QTimer::singleShot(0, [key, this] {
            QMenu* menu = MenuOf(m_main->mnuPopup);
            for (const int k : std::initializer_list<int>{Qt::Key_Down, Qt::Key_Down, key}) {
                QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
                QCoreApplication::sendEvent(menu, &press);
            }
            menu->close();
        });
        m_main->PopupMenu(*m_main->mnuPopup, nullptr);
    };
    popup(Qt::Key_Escape);
    EXPECT_TRUE(m_main->mnpStop->Visible());
    popup(Qt::Key_Return); // Options, then Stop Pinging
    EXPECT_TRUE(m_main->mnpResume->Visible());
    EXPECT_FALSE(m_main->mnpStop->Visible());
}

} // namespace
