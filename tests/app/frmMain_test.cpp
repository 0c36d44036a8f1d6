// The board: its layout in twips, how the store fills and fits it, and the
// sweep, against scripted pings and against the real ping in a private
// network namespace.

#include "app/frmMain.h"
#include "platform/fake/fake_process.h"
#include "platform/fake/fake_registry.h"
#include "platform/gui/App.h"
#include "platform/gui/Twips.h"
#include "platform/qt/Widgets.h"
#include "platform/settings_store.h"
#include "settings/Settings.h"
#include "test_support.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>

using namespace platform;
using namespace platform::qt;
using settings::kAppName;

namespace {

void Name(int n, const std::string& name, const std::string& address = "") {
    SaveSetting(kAppName, settings::kRemoteHosts, settings::HostKey(n), name);
    SaveSetting(kAppName, settings::kRemoteHosts, settings::AddressKey(n), address);
}

// Names only the given slots; the others are stored empty, as the options
// window saves them.
void NameOnly(const std::map<int, std::string>& names) {
    for (int n = 1; n <= settings::kSlots; ++n) {
        const auto it = names.find(n);
        Name(n, it == names.end() ? "" : it->second,
             it == names.end() ? "" : "10.0.0." + std::to_string(n));
    }
}

// Twips become whole pixels: a place is right when it is the nearest pixel.
void ExpectAt(const QWidget* widget, int left, int top, int width, int height) {
    EXPECT_EQ(widget->geometry(),
              QRect(PixelsX(left), PixelsY(top), PixelsX(width), PixelsY(height)))
        << widget->metaObject()->className() << " at " << left << "," << top;
}

class Board : public ::testing::Test {
protected:
    void SetUp() override {
        fake::ResetRegistry();
        fake::SetProcessScript(nullptr);
        m_form = new frmMain;
        m_alive = m_form;
    }
    void TearDown() override {
        fake::SetProcessScript(nullptr);
        if (frmMain* alive = m_alive.data(); alive != nullptr && !alive->Unloaded()) {
            alive->Unload();
        }
        DoEvents();
    }

    // Pings answered from a table of address -> output; anything else gets
    // no answer at all.
    void Answer(std::map<std::string, std::string> outputs) {
        fake::SetProcessScript([outputs = std::move(outputs), this](const std::string& line) {
            m_lines.push_back(line);
            const std::string address = line.substr(std::string("ping -n 1 -w 8 ").size());
            const auto it = outputs.find(address);
            return std::optional<std::string>(it == outputs.end() ? "" : it->second);
        });
    }

    frmMain* m_form = nullptr;
    std::vector<std::string> m_lines;
    FormPointer<frmMain> m_alive; // a test may unload the window itself
};

const std::string kReply =
    "\r\nPinging x with 32 bytes of data:\r\nReply from 10.0.0.1: bytes=32 time<1ms TTL=64\r\n";

// Whether text is the beginning given, then "since" and the time of day of a
// sweep that began at before and ended now (a minute may turn meanwhile).
bool SaysSince(const std::string& text, const std::string& beginning,
               std::chrono::system_clock::time_point before) {
    for (const auto when : {before, std::chrono::system_clock::now()}) {
        if (text == beginning + "since " + LocaleTimeText(ToLocalTime(when), false)) {
            return true;
        }
    }
    return false;
}

TEST_F(Board, LaysOutTwentySlotsInTwips) {
    ASSERT_DOUBLE_EQ(TwipsPerPixelX(), 15.0);
    for (const int n : {1, 2, 20}) {
        const int row = 240 * (n - 1);
        ExpectAt(WidgetOf(m_form->shp(n)), 60, 170 + row, 375, 240);
        ExpectAt(WidgetOf(m_form->lblPC(n)), 480, 120 + row, 1935, 375);
        ExpectAt(WidgetOf(m_form->btn(n)), 2580, 180 + row, 255, 210);
        EXPECT_EQ(m_form->lblPC(n)->Caption(), std::to_string(n));
    }
    ExpectAt(WidgetOf(m_form->Image1), 0, 0, 3100, 5100);
    ExpectAt(WidgetOf(m_form->cm1), 960, 5280, 495, 300);
    // The client area; the menu bar lies above it, inside the window's height.
    const QMainWindow* window = WindowOf(m_form);
    EXPECT_EQ(window->width(), PixelsX(2955));
    EXPECT_EQ(window->height() - window->menuWidget()->sizeHint().height(), PixelsY(5025));
    EXPECT_FALSE(m_form->tmrPING.Enabled());
    EXPECT_EQ(m_form->tmrPING.Interval(), 5000);
    EXPECT_TRUE(window->windowTitle().trimmed().isEmpty());
    EXPECT_FALSE(window->windowIcon().isNull());
    EXPECT_NE(m_form->Icon(), 0u);
    // A row of text fits the 240-twip pitch, whatever font stood in.
    EXPECT_LE(QFontMetrics(WidgetOf(m_form->lblPC(1))->font()).height(), PixelsY(240));
}

TEST_F(Board, FirstStartShowsEveryDefault) {
    m_form->LoadSettings();
    for (int n = 1; n <= 20; ++n) {
        EXPECT_EQ(m_form->lblPC(n)->Caption(), std::to_string(n));
        EXPECT_EQ(m_form->lblPC(n)->Tag(), "");
        EXPECT_EQ(m_form->shp(n)->Tag(), "");
        EXPECT_TRUE(m_form->shp(n)->Visible());
        EXPECT_EQ(m_form->lblPC(n)->ForeColor(), 16777215);
    }
    EXPECT_EQ(m_form->BackColor(), 128);
    EXPECT_EQ(m_form->Height(), m_form->FullHeight());
}

TEST_F(Board, FitsTheWindowToTheLastNamedSlot) {
    NameOnly({{1, "a"}, {2, "b"}, {3, "c"}});
    m_form->LoadSettings();
    EXPECT_EQ(m_form->Height(), 570 + 240 * 3);
    for (int n = 1; n <= 20; ++n) {
        EXPECT_EQ(m_form->shp(n)->Visible(), n <= 3) << n;
    }
    // More names later grow it again.
    Name(4, "d");
    Name(5, "e");
    m_form->LoadSettings();
    EXPECT_EQ(m_form->Height(), 570 + 240 * 5);
    EXPECT_TRUE(m_form->shp(5)->Visible());
    // A gap keeps its rows; only the trailing ones go.
    NameOnly({{1, "a"}, {2, "b"}, {5, "e"}});
    m_form->LoadSettings();
    EXPECT_TRUE(m_form->shp(3)->Visible());
    EXPECT_TRUE(m_form->shp(4)->Visible());
    EXPECT_EQ(m_form->lblPC(3)->Caption(), "");
    EXPECT_FALSE(m_form->shp(6)->Visible());
    // One named slot, or none: one row.
    NameOnly({});
    m_form->LoadSettings();
    EXPECT_EQ(m_form->Height(), 810);
    // All twenty: the full height.
    for (int n = 1; n <= 20; ++n) {
        Name(n, "h" + std::to_string(n));
    }
    m_form->LoadSettings();
    EXPECT_EQ(m_form->Height(), m_form->FullHeight());
    EXPECT_TRUE(m_form->shp(20)->Visible());
}

TEST_F(Board, ReadsEachSlotsKeysWithoutLeadingZeros) {
    SaveSetting(kAppName, "Remote Hosts", "IP Address 7", "10.0.0.7");
    SaveSetting(kAppName, "Remote Hosts", "IP Address 07", "wrong");
    SaveSetting(kAppName, "Remote Hosts", "Display Balloon 12", "1");
    SaveSetting(kAppName, "Remote Hosts", "Host 12", "twelve");
    SaveSetting(kAppName, "Settings", "TextColor", "65280");
    m_form->LoadSettings();
    EXPECT_EQ(m_form->lblPC(7)->Tag(), "10.0.0.7");
    EXPECT_EQ(m_form->shp(12)->Tag(), "1");
    EXPECT_EQ(m_form->lblPC(12)->Caption(), "twelve");
    EXPECT_EQ(m_form->lblPC(20)->ForeColor(), 65280);
}

TEST_F(Board, ABadColourFallsBackAndIsForgotten) {
    NameOnly({{1, "a"}, {2, "b"}});
    SaveSetting(kAppName, "Settings", "Backcolor", "maroon");
    SaveSetting(kAppName, "Settings", "Textcolor", "255");
    m_form->LoadSettings();
    EXPECT_EQ(m_form->BackColor(), 128);
    EXPECT_EQ(m_form->lblPC(1)->ForeColor(), 16777215);
    EXPECT_EQ(GetSetting(kAppName, "Settings", "Backcolor", "absent"), "absent");
    EXPECT_EQ(GetSetting(kAppName, "Settings", "Textcolor", "absent"), "absent");
    // Nothing more was read, and the window was not fitted.
    EXPECT_EQ(m_form->lblPC(1)->Caption(), "1");
    EXPECT_EQ(m_form->Height(), m_form->FullHeight());
    // The next load reads defaults for the colours and goes on.
    m_form->LoadSettings();
    EXPECT_EQ(m_form->lblPC(1)->Caption(), "a");
    EXPECT_EQ(m_form->Height(), 570 + 240 * 2);

    // Out of the 24-bit range, or not even an integer, counts the same.
    for (const char* bad : {"16777216", "-1", "99999999999", ""}) {
        SaveSetting(kAppName, "Settings", "Textcolor", bad);
        m_form->LoadSettings();
        EXPECT_EQ(GetSetting(kAppName, "Settings", "Textcolor", "absent"), "absent") << bad;
    }
    SaveSetting(kAppName, "Settings", "Backcolor", " 255 ");
    m_form->LoadSettings();
    EXPECT_EQ(m_form->BackColor(), 255);
}

TEST_F(Board, SweepJudgesEachSlotByReply) {
    NameOnly({{1, "one"}, {3, "three"}, {4, "four"}});
    Name(5, "", "10.0.0.5");
    m_form->LoadSettings();
    Answer({{"10.0.0.1", kReply},
            {"10.0.0.3", "Reply from 10.0.0.9: Destination host unreachable.\r\n"},
            {"10.0.0.4", "reply from 10.0.0.4: bytes=32\r\n"},
            {"10.0.0.5", kReply}});
    const std::string summary = m_form->PingHosts();
    ASSERT_EQ(m_lines.size(), 20u);
    EXPECT_EQ(m_lines[0], "ping -n 1 -w 8 10.0.0.1");
    EXPECT_EQ(m_lines[1], "ping -n 1 -w 8 ");
    EXPECT_EQ(summary, "one is on.\rthree is on.\rfour is off.\r");

    EXPECT_EQ(m_form->shp(1)->FillColor(), 65280);
    EXPECT_EQ(m_form->shp(1)->Mark(), LightMark::Tick);
    EXPECT_EQ(m_form->shp(4)->Mark(), LightMark::Cross);
    EXPECT_EQ(m_form->shp(20)->Mark(), LightMark::Cross);
    EXPECT_TRUE(m_form->btn(1)->Visible());
    EXPECT_EQ(m_form->btn(1)->ToolTipText(), "Click for options");
    EXPECT_EQ(m_form->shp(4)->FillColor(), 255);
    EXPECT_FALSE(m_form->btn(4)->Visible());
    EXPECT_EQ(m_form->btn(4)->ToolTipText(), "This PC in unavailable.");
    // Unnamed slots are pinged and shown, but have no status line.
    EXPECT_EQ(m_form->shp(5)->FillColor(), 65280);
    EXPECT_EQ(m_form->sHostStatus(5), "");
    EXPECT_EQ(m_form->shp(2)->FillColor(), 255);
}

// A name too long for its row ends in "…"; every name's tip holds the whole
// name, the address and, until a sweep, that the host is not checked yet; it
// reaches the pointer through the drag surface.
TEST_F(Board, LongNamesAreElidedAndEveryNameHasATip) {
    const std::string sLong = "Accounting department, second floor";
    NameOnly({{1, sLong}, {2, "router"}});
    Name(3, "no address");
    Name(4, "", "10.0.0.4");
    m_form->LoadSettings();
    EXPECT_EQ(m_form->shp(1)->Mark(), LightMark::None);

    const QLabel* label = WidgetOf(m_form->lblPC(1));
    const QString shown = label->text();
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(QString::fromStdString(sLong).startsWith(shown.chopped(1)));
    EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), label->contentsRect().width());
    EXPECT_EQ(m_form->lblPC(1)->Caption(), sLong);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(const_cast<QLabel*>(label))
                  ->text(QAccessible::Name)
                  .toStdString(),
              sLong);
    EXPECT_EQ(WidgetOf(m_form->lblPC(2))->text(), "router");
    EXPECT_EQ(m_form->lblPC(1)->ToolTipText(), sLong + "\n10.0.0.1\nnot checked yet");
    EXPECT_EQ(m_form->lblPC(2)->ToolTipText(), "router\n10.0.0.2\nnot checked yet");
    EXPECT_EQ(m_form->lblPC(3)->ToolTipText(), "no address\nnot checked yet");
    EXPECT_EQ(m_form->lblPC(4)->ToolTipText(), "10.0.0.4") << "a slot without a name";

    m_form->Show();
    DoEvents();
    QWidget* surface = WidgetOf(m_form->Image1);
    const QPoint over = label->geometry().center();
    QHelpEvent help(QEvent::ToolTip, over, surface->mapToGlobal(over));
    QCoreApplication::sendEvent(surface, &help);
    EXPECT_EQ(QToolTip::text().toStdString(), sLong + "\n10.0.0.1\nnot checked yet");
    // A tip on show follows its new text, as the sweep gives it.
    Answer({{"10.0.0.1", kReply}});
    const auto before = std::chrono::system_clock::now();
    m_form->PingHosts();
    EXPECT_TRUE(
        SaysSince(QToolTip::text().toStdString(), sLong + "\n10.0.0.1\nonline, <1 ms, ", before))
        << QToolTip::text().toStdString();
    QToolTip::hideText();

    // The host menu's separators are plain lines, with no "-" drawn beside them.
    int separators = 0;
    for (const QAction* action : MenuOf(m_form->mnuPC)->actions()) {
        if (action->isSeparator()) {
            ++separators;
            EXPECT_TRUE(action->text().isEmpty());
        }
    }
    EXPECT_EQ(separators, 2);
}

TEST_F(Board, ScreenReadersHearEveryElementAndEachLightsState) {
    NameOnly({{1, "one"}, {3, "three"}});
    m_form->LoadSettings();
    const auto said = [](QObject* object, QAccessible::Role role) {
        const QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
        EXPECT_EQ(iface->role(), role);
        return iface->text(QAccessible::Name).toStdString();
    };
    EXPECT_EQ(said(WidgetOf(m_form->shp(1)), QAccessible::Graphic), "one, not checked yet");
    EXPECT_EQ(said(WidgetOf(m_form->btn(1)), QAccessible::PushButton), "Actions for one");
    EXPECT_EQ(said(WidgetOf(m_form->lblPC(3)), QAccessible::StaticText), "three");
    EXPECT_EQ(said(WidgetOf(m_form->shp(2)), QAccessible::Graphic), "Host 2, not checked yet");
    EXPECT_EQ(said(WindowOf(m_form), QAccessible::Window), "Netvigil");
    EXPECT_EQ(said(MenuOf(m_form->mnuPopup), QAccessible::PopupMenu), "Netvigil");
    EXPECT_EQ(said(MenuOf(m_form->mnuPC), QAccessible::PopupMenu), "Host actions");

    // Renamed by the sweep, which Qt announces (NameChanged); offscreen,
    // with no screen reader, only the name itself shows. The light says what
    // the name's tip says.
    Answer({{"10.0.0.1", kReply}});
    const auto before = std::chrono::system_clock::now();
    m_form->PingHosts();
    EXPECT_TRUE(SaysSince(said(WidgetOf(m_form->shp(1)), QAccessible::Graphic),
                          "one, online, <1 ms, ", before));
    EXPECT_TRUE(
        SaysSince(said(WidgetOf(m_form->shp(3)), QAccessible::Graphic), "three, offline ", before));
}

// The name's tip tells how the host has answered: how fast, and since the
// first sweep that found it so; a new address has not been checked yet.
TEST_F(Board, TheNamesTipTellsHowFastAndSinceWhen) {
    NameOnly({{1, "one"}, {3, "three"}});
    m_form->LoadSettings();
    const std::string kSlow = "Reply from 10.0.0.1: bytes=32 time=23ms TTL=64\r\n";
    Answer({{"10.0.0.1", kSlow}});
    const auto before = std::chrono::system_clock::now();
    m_form->PingHosts();
    const std::string sOnline = m_form->lblPC(1)->ToolTipText();
    EXPECT_TRUE(SaysSince(sOnline, "one\n10.0.0.1\nonline, 23 ms, ", before)) << sOnline;
    const std::string sOffline = m_form->lblPC(3)->ToolTipText();
    EXPECT_TRUE(SaysSince(sOffline, "three\n10.0.0.3\noffline ", before)) << sOffline;

    // The next reply's round trip, and the same beginning.
    Answer({{"10.0.0.1", "Reply from 10.0.0.1: bytes=32 time=31ms TTL=64\r\n"}});
    m_form->PingHosts();
    EXPECT_EQ(m_form->lblPC(1)->ToolTipText(),
              sOnline.substr(0, sOnline.find("23")) + "31" + sOnline.substr(sOnline.find(" ms")));
    EXPECT_EQ(m_form->lblPC(3)->ToolTipText(), sOffline);

    Name(1, "one", "10.0.0.11");
    m_form->LoadSettings();
    EXPECT_EQ(m_form->lblPC(1)->ToolTipText(), "one\n10.0.0.11\nnot checked yet");
}

TEST_F(Board, StatusLinesFollowTheNames) {
    NameOnly({{1, "one"}, {3, "three"}});
    m_form->LoadSettings();
    Answer({{"10.0.0.1", kReply}, {"10.0.0.3", kReply}});
    EXPECT_EQ(m_form->PingHosts(), "one is on.\rthree is on.\r");
    // A default name is a name; an emptied one loses its line.
    fake::ResetRegistry();
    Name(1, "", "10.0.0.1");
    m_form->LoadSettings();
    EXPECT_EQ(m_form->PingHosts(),
              "2 is off.\r3 is off.\r4 is off.\r5 is off.\r6 is off.\r7 is off.\r"
              "8 is off.\r9 is off.\r10 is off.\r11 is off.\r12 is off.\r13 is off.\r"
              "14 is off.\r15 is off.\r16 is off.\r17 is off.\r18 is off.\r19 is off.\r"
              "20 is off.\r");
    NameOnly({});
    m_form->LoadSettings();
    EXPECT_EQ(m_form->PingHosts(), "");
}

TEST_F(Board, TicksNeverNestAndUnloadStopsTheSweep) {
    NameOnly({{1, "one"}});
    m_form->LoadSettings();
    // Stop and Resume during the first yield restart the 1 ms timer, and
    // every ping outlasts that interval, so a tick falls due in every yield
    // after it: a nested sweep would start over at slot 1 among the first 20
    // pings. (A timer's own tick Qt never nests, but a restarted one is new.)
    fake::SetProcessScript([&](const std::string& line) {
        m_lines.push_back(line);
        if (m_lines.size() == 1) {
            QTimer::singleShot(0, WindowOf(m_form), [this] {
                m_form->mnuStop_Click();
                m_form->mnuResume_Click();
            });
        }
        QElapsedTimer slow;
        slow.start();
        while (slow.elapsed() < 3) {
        }
        return std::optional<std::string>(kReply);
    });
    m_form->tmrPING.SetInterval(1);
    m_form->tmrPING.SetEnabled(true);
    testing_support::WaitFor([&] {
        DoEvents();
        return m_lines.size() >= 20;
    });
    m_form->tmrPING.SetEnabled(false);
    ASSERT_GE(m_lines.size(), 20u);
    EXPECT_EQ(std::count(m_lines.begin(), m_lines.begin() + 20, "ping -n 1 -w 8 10.0.0.1"), 1);

    // Unloaded during a yield of its sweep, the window is never touched again.
    m_lines.clear();
    QTimer::singleShot(0, WindowOf(m_form), [this] { m_form->Unload(); });
    EXPECT_EQ(m_form->PingHosts(), "");
    EXPECT_LE(m_lines.size(), 1u);
    DoEvents();
}

// A silent host's ping waits half a second, a far one's as long as its
// reply takes: the board answers the user meanwhile, no tick starts a second
// sweep, and an unload during the wait touches nothing under the sweep.
TEST_F(Board, TheBoardAnswersWhileAPingWaits) {
    NameOnly({{1, "far"}, {2, "near"}});
    m_form->LoadSettings();
    QElapsedTimer clock;
    qint64 clickedAt = -1;
    std::size_t clickedDuring = 0;
    fake::SetProcessScript([&](const std::string& line) -> std::optional<fake::Answer> {
        m_lines.push_back(line);
        if (m_lines.size() == 1) {
            // Stop and Resume, as a user clicks them; Resume restarts the
            // timer at 1 ms, so ticks fall due all through the wait.
            QTimer::singleShot(100, WindowOf(m_form), [&] {
                m_form->mnuStop_Click();
                m_form->mnuResume_Click();
                clickedAt = clock.elapsed();
                clickedDuring = m_lines.size();
            });
        }
        if (line.ends_with(" 10.0.0.1")) {
            return fake::Answer(kReply, std::chrono::seconds(1));
        }
        return fake::Answer("");
    });
    m_form->tmrPING.SetInterval(1);
    m_form->tmrPING.SetEnabled(true);
    clock.start();
    while (m_lines.size() < 20 && clock.elapsed() < 30000) {
        DoEvents();
    }
    m_form->tmrPING.SetEnabled(false);
    EXPECT_GE(clickedAt, 0);
    EXPECT_LT(clickedAt, 1000) << "the click waited for the ping";
    EXPECT_EQ(clickedDuring, 1u);
    ASSERT_GE(m_lines.size(), 20u);
    EXPECT_EQ(std::count(m_lines.begin(), m_lines.begin() + 20, "ping -n 1 -w 8 10.0.0.1"), 1);
    EXPECT_EQ(m_form->shp(1)->FillColor(), frmMain::kGreen);
    EXPECT_EQ(m_form->shp(2)->FillColor(), frmMain::kRed);

    m_lines.clear();
    QTimer::singleShot(100, WindowOf(m_form), [this] { m_form->Unload(); });
    EXPECT_EQ(m_form->PingHosts(), "");
    EXPECT_EQ(m_lines.size(), 1u);
    DoEvents();
}

TEST_F(Board, SweepsThroughTheRealPing) {
    std::string why;
    if (!testing_support::EnterPrivateNetwork(&why)) {
        GTEST_SKIP() << why;
    }
    NameOnly({{1, "loopback"}, {2, "nowhere"}, {3, "six"}});
    Name(1, "loopback", "127.0.0.1");
    Name(2, "nowhere", "10.250.0.9");
    Name(3, "six", "::1");
    m_form->LoadSettings();
    EXPECT_EQ(m_form->PingHosts(), "loopback is on.\rnowhere is off.\rsix is on.\r");
    EXPECT_EQ(m_form->shp(1)->FillColor(), 65280);
    EXPECT_EQ(m_form->shp(2)->FillColor(), 255);
}

} // namespace
