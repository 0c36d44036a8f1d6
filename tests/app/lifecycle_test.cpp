// The main window's life against the fake notification area: start-up,
// the two menus and their states, the tray, the tick, and the orderly exit.

#include "app/frmMain.h"
#include "options/frmOpt.h"
#include "platform/fake/fake_process.h"
#include "platform/fake/fake_registry.h"
#include "platform/fake/fake_shell.h"
#include "platform/gui/App.h"
#include "platform/paths.h"
#include "platform/qt/Widgets.h"
#include "platform/registry.h"
#include "platform/settings_store.h"
#include "test_support.h"

#include <QCoreApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <sstream>

using namespace platform;
using namespace platform::qt;
using testing_support::ReadFileBytes;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

constexpr const char* kReply = "Reply from 10.0.0.1: bytes=32 time<1ms TTL=64\r\n";
// Milliseconds: a little longer than the board's interval between sweeps.
constexpr int kSweepLongerThanInterval = frmMain::kSweepInterval + 400;

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
    // The first sweep is due at once, not one interval later.
    EXPECT_EQ(main.tmrPING.Interval(), frmMain::kFirstSweepDelay);
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

// The tray after each sweep: the balloons the notice flags ask for, the
// icon's badge and its tip, against hosts that answer as a test says.
class Alerts : public Life {
protected:
    void SetUp() override {
        Life::SetUp();
        fake::SetProcessScript([this](const std::string& line) {
            const int n = std::stoi(line.substr(line.rfind('.') + 1));
            if (m_during) {
                m_during(n);
            }
            return std::optional<fake::Answer>({m_on.contains(n) ? kReply : "", m_wait});
        });
    }
    // Slots named by the keys, with their notice flags; the others empty.
    static void Hosts(const std::map<int, std::pair<std::string, std::string>>& hosts) {
        for (int n = 1; n <= 20; ++n) {
            const auto it = hosts.find(n);
            const std::string slot = std::to_string(n);
            SaveSetting("Netvigil", "Remote Hosts", "Host " + slot,
                        it == hosts.end() ? "" : it->second.first);
            SaveSetting("Netvigil", "Remote Hosts", "IP Address " + slot, "10.0.0." + slot);
            SaveSetting("Netvigil", "Remote Hosts", "Display Balloon " + slot,
                        it == hosts.end() ? "0" : it->second.second);
        }
    }
    // One whole sweep, now, with these slots answering; what the tray got.
    std::vector<fake::ShellRequest> Sweep(frmMain& main, std::set<int> on) {
        m_on = std::move(on);
        const std::size_t before = fake::ShellRequests().size();
        main.tmrPING.SetInterval(1);
        while (std::none_of(fake::ShellRequests().begin() + static_cast<long>(before),
                            fake::ShellRequests().end(), [](const fake::ShellRequest& r) {
                                return r.message == NIM_MODIFY && r.record.uFlags == 7;
                            })) {
            DoEvents();
        }
        return {fake::ShellRequests().begin() + static_cast<long>(before),
                fake::ShellRequests().end()};
    }
    static std::vector<NOTIFYICONDATA> Balloons(const std::vector<fake::ShellRequest>& requests) {
        std::vector<NOTIFYICONDATA> balloons;
        for (const auto& request : requests) {
            if (request.record.uFlags == NIF_INFO) {
                EXPECT_EQ(request.message, NIM_MODIFY);
                balloons.push_back(request.record);
            }
        }
        return balloons;
    }
    static std::string Message(const NOTIFYICONDATA& r) {
        return {r.szInfo, strnlen(r.szInfo, sizeof r.szInfo)};
    }
    static HICON Badge(const std::vector<fake::ShellRequest>& requests) {
        return requests.back().record.hIcon;
    }

    std::set<int> m_on;
    std::function<void(int)> m_during;
    std::chrono::milliseconds m_wait{0}; // how long each ping waits for its answer
};

// Twenty late hosts make a sweep longer than the interval: a command acts in
// the middle of a ping's wait, no tick starts a second sweep, and what the
// tray gets after it is that sweep's.
TEST_F(Alerts, ASweepLongerThanTheIntervalEndsRight) {
    Hosts({{1, {"one", "1"}}, {2, {"two", "0"}}});
    frmMain& main = Start();
    Sweep(main, {1, 2});
    Sweep(main, {1, 2});
    main.mnuTray->Click();
    EXPECT_TRUE(Balloons(Sweep(main, {2})).empty()) << "one sweep is no change";
    main.mnpTray->Click();
    m_wait = std::chrono::milliseconds(kSweepLongerThanInterval / 20);
    std::map<int, int> pinged;
    std::size_t trayDuring = 0; // the pings started when Tray acted
    m_during = [&](int n) {
        ++pinged[n];
        if (n == 3) {
            QTimer::singleShot(50, [&] {
                main.mnuTray->Click();
                trayDuring = pinged.size();
            });
        }
    };
    const auto requests = Sweep(main, {2});
    EXPECT_EQ(trayDuring, 3u) << "Tray waited for the ping";
    EXPECT_EQ(pinged.size(), 20u);
    EXPECT_TRUE(std::all_of(pinged.begin(), pinged.end(), [](auto p) { return p.second == 1; }));
    EXPECT_FALSE(main.Visible());
    EXPECT_EQ(Tip(requests.back().record), "one is off.\rtwo is on.\r");
    EXPECT_EQ(Badge(requests), BadgedIcon(main.Icon(), frmMain::kRed));
    const auto balloons = Balloons(requests);
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(Message(balloons[0]), "one is off.");
}

// A change is told once it has held for two sweeps in a row: one lost reply
// (or one stray reply) is none, while the light, the badge and the tip show
// every sweep's own result.
TEST_F(Alerts, OneLostReplyIsNoAlertTwoAreOne) {
    Hosts({{1, {"one", "1"}}, {2, {"two", "1"}}});
    frmMain& main = Start("/hide");
    Sweep(main, {1});
    EXPECT_TRUE(Balloons(Sweep(main, {1})).empty()) << "the state a host starts in is no change";
    auto requests = Sweep(main, {2});
    EXPECT_TRUE(Balloons(requests).empty()) << "one lost reply, and one stray reply";
    EXPECT_EQ(Tip(requests.back().record), "one is off.\rtwo is on.\r");
    EXPECT_EQ(Badge(requests), BadgedIcon(main.Icon(), frmMain::kRed));
    EXPECT_EQ(main.shp(1)->FillColor(), frmMain::kRed);
    EXPECT_TRUE(main.btn(2)->Visible());
    requests = Sweep(main, {1});
    EXPECT_TRUE(Balloons(requests).empty()) << "each back as it was";
    EXPECT_EQ(main.shp(1)->FillColor(), frmMain::kGreen);
    EXPECT_TRUE(Balloons(Sweep(main, {})).empty());
    const auto balloons = Balloons(Sweep(main, {}));
    ASSERT_EQ(balloons.size(), 1u) << "two lost replies in a row";
    EXPECT_EQ(Message(balloons[0]), "one is off.");
    EXPECT_EQ(balloons[0].dwInfoFlags, NIIF_WARNING);
    EXPECT_TRUE(Balloons(Sweep(main, {})).empty()) << "told once";
}

TEST_F(Alerts, OneBalloonPerSweepForTheFlaggedHostsThatChanged) {
    Hosts({{1, {"one", "1"}},
           {2, {"two", "1"}},
           {3, {"three", "0"}},
           {4, {"four", ""}},
           {5, {"five", "yes"}},
           {6, {"six", " 1 "}}});
    frmMain& main = Start("/hide");
    EXPECT_TRUE(Balloons(Sweep(main, {1, 3, 5})).empty()) << "the first sweep is no change";
    EXPECT_TRUE(Balloons(Sweep(main, {1, 3, 5})).empty()) << "nor is the state it found";
    // Every host changes; the flags that read as 1 are listed, in one balloon,
    // once the change has held for a second sweep.
    EXPECT_TRUE(Balloons(Sweep(main, {2, 4, 6})).empty());
    auto balloons = Balloons(Sweep(main, {2, 4, 6}));
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(Message(balloons[0]), "one is off.\r\ntwo is on.\r\nsix is on.");
    EXPECT_EQ(std::string(balloons[0].szInfoTitle), "Netvigil");
    EXPECT_EQ(balloons[0].dwInfoFlags, NIIF_WARNING);
    EXPECT_EQ(balloons[0].uTimeout, 10u & 3u);
    EXPECT_EQ(balloons[0].hWnd, main.hWnd());
    EXPECT_TRUE(Balloons(Sweep(main, {2, 4, 6})).empty()) << "nothing changed";
    EXPECT_TRUE(Balloons(Sweep(main, {1, 2, 4, 6})).empty());
    balloons = Balloons(Sweep(main, {1, 2, 4, 6}));
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(Message(balloons[0]), "one is on.");
    EXPECT_EQ(balloons[0].dwInfoFlags, NIIF_INFO);
    // The stored flags stay as they were.
    EXPECT_EQ(GetSetting("Netvigil", "Remote Hosts", "Display Balloon 5", ""), "yes");
    EXPECT_EQ(GetSetting("Netvigil", "Remote Hosts", "Display Balloon 4", "absent"), "");

    // A new address is a new host: the state it is found in is no change.
    SaveSetting("Netvigil", "Remote Hosts", "IP Address 1", "10.0.0.11");
    main.LoadSettings();
    EXPECT_TRUE(Balloons(Sweep(main, {2, 4, 6})).empty());
    EXPECT_TRUE(Balloons(Sweep(main, {2, 4, 6})).empty());

    // The balloon's click brings the board back; shown, nothing is told.
    main.RaiseMouseMove(0, 0, NIN_BALLOONUSERCLICK * 15.0F, 0);
    EXPECT_TRUE(main.Visible());
    EXPECT_TRUE(Balloons(Sweep(main, {})).empty());
    EXPECT_TRUE(Balloons(Sweep(main, {})).empty());
    main.mnuTray->Click();
    // Stopped in the middle of the sweep that confirms a change: none either.
    EXPECT_TRUE(Balloons(Sweep(main, {1, 2})).empty());
    m_during = [&main](int n) {
        if (n == 10) {
            main.mnpStop->Click();
        }
    };
    EXPECT_TRUE(Balloons(Sweep(main, {1, 2})).empty());
}

// With no notification area the board is minimized instead of hidden, and
// minimized it is told what a hidden one would be.
TEST_F(Alerts, WithNoNotificationAreaAMinimizedBoardIsTold) {
    Hosts({{1, {"one", "1"}}});
    fake::SetNotificationArea(false);
    frmMain& main = Start("/hide");
    ASSERT_EQ(main.WindowState(), 1);
    Sweep(main, {});
    Sweep(main, {});
    EXPECT_TRUE(Balloons(Sweep(main, {1})).empty());
    auto balloons = Balloons(Sweep(main, {1}));
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(Message(balloons[0]), "one is on.");
    main.RaiseMouseMove(0, 0, NIN_BALLOONUSERCLICK * 15.0F, 0);
    EXPECT_TRUE(main.Visible());
    EXPECT_EQ(main.WindowState(), 0);
    EXPECT_TRUE(Balloons(Sweep(main, {})).empty());
    EXPECT_TRUE(Balloons(Sweep(main, {})).empty()) << "told while shown";
}

// Each change of a named slot's light is a line of the change log; the first
// sweep gives each named slot's first state.
TEST_F(Alerts, TheChangeLogHasALineForEachChangeOfANamedLight) {
    const TempDir dir;
    const ScopedEnv state("XDG_STATE_HOME", dir.Path());
    Hosts({{1, {"one", "0"}}, {3, {"three\tthe\\third", "0"}}});
    frmMain& main = Start();
    Sweep(main, {1});
    Sweep(main, {1});
    Sweep(main, {3});
    Sweep(main, {3, 4});
    std::istringstream log(ReadFileBytes(dir / "netvigil/changes.log"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "time\tslot\tname\taddress\tstate\tround trip (ms)");
    const std::regex time(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d\t)");
    const std::vector<std::string> changes = {
        "1\tone\t10.0.0.1\ton\t<1", "3\tthree\\tthe\\\\third\t10.0.0.3\toff\t",
        "1\tone\t10.0.0.1\toff\t", "3\tthree\\tthe\\\\third\t10.0.0.3\ton\t<1"};
    for (std::size_t i = 0; i < changes.size(); ++i) {
        std::smatch when;
        ASSERT_TRUE(
            std::regex_search(lines[i + 1], when, time, std::regex_constants::match_continuous))
            << lines[i + 1];
        EXPECT_EQ(when.suffix().str(), changes[i]);
    }
}

// A log that cannot be written costs the board nothing: it sweeps, tells and
// says so once on standard error.
TEST_F(Alerts, AnUnwritableChangeLogLeavesTheBoardSweeping) {
    const TempDir dir;
    WriteFileBytes(dir / "file", "");
    const ScopedEnv state("XDG_STATE_HOME", dir / "file");
    Hosts({{1, {"one", "1"}}});
    ::testing::internal::CaptureStderr();
    frmMain& main = Start("/hide");
    Sweep(main, {1});
    Sweep(main, {1});
    Sweep(main, {});
    const auto requests = Sweep(main, {});
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(Tip(requests.back().record), "one is off.\r");
    const auto balloons = Balloons(requests);
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(Message(balloons[0]), "one is off.");
    const std::string note =
        "Netvigil: cannot write the change log " + dir / "file/netvigil/changes.log";
    EXPECT_NE(said.find(note), std::string::npos) << said;
    EXPECT_EQ(said.find(note), said.rfind(note)) << "said more than once: " << said;
}

TEST_F(Alerts, TheBadgeShowsTheLastSweepAndStaleLightsAreGrey) {
    Hosts({{1, {"one", "0"}}, {3, {"three", "0"}}});
    frmMain& main = Start();
    const HICON plain = main.Icon();
    EXPECT_EQ(fake::ShellRequests().front().record.hIcon, plain) << "no badge before a sweep";
    // Only named hosts count: slot 2 has no name.
    EXPECT_EQ(Badge(Sweep(main, {1, 3})), BadgedIcon(plain, frmMain::kGreen));
    EXPECT_EQ(Badge(Sweep(main, {1, 2})), BadgedIcon(plain, frmMain::kRed));
    const std::string tip = Tip(fake::ShellRequests().back().record);
    main.mnuStop->Click();
    EXPECT_EQ(fake::ShellRequests().back().message, NIM_MODIFY);
    EXPECT_EQ(fake::ShellRequests().back().record.hIcon, BadgedIcon(plain, frmMain::kUnknown));
    EXPECT_EQ(Tip(fake::ShellRequests().back().record), tip);
    // Resume sweeps at once, then at the designed pace.
    main.mnpResume->Click();
    EXPECT_EQ(main.tmrPING.Interval(), frmMain::kFirstSweepDelay);
    EXPECT_EQ(Badge(Sweep(main, {1, 3})), BadgedIcon(plain, frmMain::kGreen));
    EXPECT_EQ(main.tmrPING.Interval(), 5000);
    // Sent to the tray, the icon keeps its badge.
    main.mnuTray->Click();
    EXPECT_EQ(fake::ShellRequests()[fake::ShellRequests().size() - 2].record.hIcon,
              BadgedIcon(plain, frmMain::kGreen));
    // The badges differ, and each is asked for again by the same handle.
    EXPECT_NE(BadgedIcon(plain, frmMain::kGreen), BadgedIcon(plain, frmMain::kRed));
    EXPECT_NE(BadgedIcon(plain, frmMain::kGreen), plain);
    EXPECT_EQ(BadgedIcon(plain, std::nullopt), plain);
}

TEST_F(Alerts, TheTipPutsTheHostsThatAreOffFirstWhenTheSummaryDoesNotFit) {
    Hosts({{1, {"a", "0"}}, {2, {"bb", "0"}}, {3, {"ccc", "0"}}});
    frmMain& main = Start();
    Sweep(main, {1, 3});
    EXPECT_EQ(Tip(fake::ShellRequests().back().record), "a is on.\rbb is off.\rccc is on.\r");

    // 20 names of 24 characters: a line on takes 32 characters with its
    // carriage return, a line off 33; the tip holds 127.
    std::map<int, std::pair<std::string, std::string>> hosts;
    for (int n = 1; n <= 20; ++n) {
        hosts[n] = {"long-host-name-number-" + std::string(n < 10 ? "0" : "") + std::to_string(n),
                    "0"};
    }
    Hosts(hosts);
    main.LoadSettings();
    std::set<int> all;
    for (int n = 1; n <= 20; ++n) {
        all.insert(n);
    }
    Sweep(main, all);
    EXPECT_EQ(Tip(fake::ShellRequests().back().record),
              "long-host-name-number-01 is on.\rlong-host-name-number-02 is on.\r"
              "long-host-name-number-03 is on.\rand 17 more on.\r");
    all.erase(5);
    all.erase(12);
    Sweep(main, all);
    EXPECT_EQ(Tip(fake::ShellRequests().back().record),
              "long-host-name-number-05 is off.\rlong-host-name-number-12 is off.\r"
              "long-host-name-number-01 is on.\rand 17 more on.\r");
    // Nothing was cut: every tip keeps its NUL within the field.
    for (const auto& request : fake::ShellRequests()) {
        EXPECT_LE(Tip(request.record).size(), 127u);
    }
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
        EXPECT_TRUE(testing_support::WaitFor([&] {
            DoEvents();
            return main.Unloaded();
        }));
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
