// Netvigil on a desktop whose notification area is a StatusNotifierItem host
// (KDE Plasma, Xfce, GNOME with AppIndicator): the test is that host, on the
// desktop's own session bus. It reads the item, and makes the calls a host
// makes: activation, the context-menu request, the exported menu's clicks.

#include "desktop.h"
#include "desktop_bus.h"
#include "echo_requests.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

constexpr const char* kItem = "org.kde.StatusNotifierItem";
constexpr const char* kMenu = "com.canonical.dbusmenu";

struct MenuItem {
    int id = 0;
    QString label;
    bool visible = true;
};

class TrayHost : public ::testing::Test {
protected:
    void SetUp() override {
        if (!m_desktop.Available()) {
            GTEST_SKIP() << "needs Xvfb, openbox, xdotool and dbus-daemon";
        }
        m_bus =
            QDBusConnection::connectToBus(QString::fromStdString(m_desktop.BusAddress()), "host");
        ASSERT_TRUE(m_bus.isConnected());
        ASSERT_TRUE(m_watcher.emplace(m_bus).Serving());
        // Two named hosts with no address: both off after the first sweep.
        for (int n = 1; n <= 20; ++n) {
            const std::string key = "HKCU\\Software\\Netvigil\\Remote Hosts";
            const std::string name = n == 1 ? "one" : n == 2 ? "two" : "";
            Reg({"add", key, "/v", "Host " + std::to_string(n), "/d", name, "/f"});
            Reg({"add", key, "/v", "IP Address " + std::to_string(n), "/d", "", "/f"});
        }
    }
    void TearDown() override {
        StopProgram(m_netvigil);
        m_watcher.reset();
        QDBusConnection::disconnectFromBus("host");
    }

    void Reg(const std::vector<std::string>& args) const {
        RunProgram("netvigil-reg", args, m_desktop.NetvigilEnvironment(m_dir));
    }
    void Start() {
        m_netvigil = StartNetvigil(m_desktop.NetvigilEnvironment(m_dir), {"/hide"});
        ASSERT_TRUE(WaitFor([&] { return !m_watcher->Item().isEmpty(); })) << "no item registered";
    }

    // A call to the item; its answer, or the error of one that never came.
    QDBusMessage Call(const QString& path, const QString& interface, const QString& member,
                      const QVariantList& args) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(m_watcher->Item(), path, interface, member);
        call.setArguments(args);
        QDBusPendingCall pending =
            m_bus.asyncCall(call, static_cast<int>(std::chrono::milliseconds(kWaitLimit).count()));
        WaitFor([&] { return pending.isFinished(); });
        return pending.reply();
    }
    // A call that a host makes and that is answered before it is carried
    // out: a popup menu or the program's end would otherwise keep its answer
    // from ever coming.
    bool Answered(const QString& path, const QString& interface, const QString& member,
                  const QVariantList& args) {
        return Call(path, interface, member, args).type() == QDBusMessage::ReplyMessage;
    }
    QVariant Property(const QString& name) {
        const QDBusMessage reply = Call("/StatusNotifierItem", "org.freedesktop.DBus.Properties",
                                        "Get", {QString(kItem), name});
        return reply.arguments().isEmpty()
                   ? QVariant()
                   : reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    QString ToolTip() {
        const auto arg = Property("ToolTip").value<QDBusArgument>();
        QString icon;
        QString title;
        QString text;
        arg.beginStructure();
        arg >> icon;
        arg.beginArray();
        while (!arg.atEnd()) {
            int width = 0;
            int height = 0;
            QByteArray pixels;
            arg.beginStructure();
            arg >> width >> height >> pixels;
            arg.endStructure();
        }
        arg.endArray();
        arg >> title >> text;
        arg.endStructure();
        return title + "\n" + text;
    }
    QString MenuPath() { return Property("Menu").value<QDBusObjectPath>().path(); }
    std::vector<MenuItem> Menu() {
        const QDBusMessage reply = Call(MenuPath(), kMenu, "GetLayout", {0, -1, QStringList()});
        std::vector<MenuItem> items;
        if (reply.arguments().size() < 2) {
            return items;
        }
        const auto root = reply.arguments().value(1).value<QDBusArgument>();
        int id = 0;
        QVariantMap properties;
        root.beginStructure();
        root >> id >> properties;
        root.beginArray();
        while (!root.atEnd()) {
            QDBusVariant child;
            root >> child;
            const auto node = child.variant().value<QDBusArgument>();
            MenuItem item;
            QVariantList grandchildren;
            node.beginStructure();
            node >> item.id >> properties >> grandchildren;
            node.endStructure();
            item.label = properties.value("label").toString();
            item.visible = properties.value("visible", true).toBool();
            if (properties.value("type").toString() != "separator") {
                items.push_back(item);
            }
        }
        root.endArray();
        root.endStructure();
        return items;
    }
    QStringList Shown(const std::vector<MenuItem>& items) const {
        QStringList labels;
        for (const MenuItem& item : items) {
            if (item.visible) {
                labels << QString(item.label).remove('&');
            }
        }
        return labels;
    }
    int Id(const QString& label) {
        for (const MenuItem& item : Menu()) {
            if (QString(item.label).remove('&') == label && item.visible) {
                return item.id;
            }
        }
        return -1;
    }
    bool BoardShown() const { return !m_desktop.Board().id.empty(); }

    // A network of the test's own where one can be made, entered before the
    // desktop starts, whose X server is reached from that network alone.
    // (The tests that need one skip elsewhere.)
    [[maybe_unused]] const bool m_ownNetwork = [] {
        std::string why;
        return EnterPrivateNetwork(&why);
    }();
    VirtualDesktop m_desktop{true, false};
    TempDir m_dir;
    QDBusConnection m_bus{QString()};
    std::optional<StatusNotifierWatcher> m_watcher;
    pid_t m_netvigil = 0;
};

TEST_F(TrayHost, ItemMenuAndCallsFollowTheBoard) {
    Start();
    EXPECT_EQ(Property("Status").toString(), "Active");
    EXPECT_FALSE(MenuPath().isEmpty());
    EXPECT_TRUE(WaitFor([&] {
        const QString tip = ToolTip();
        return tip.contains("one is off.") && tip.contains("two is off.");
    })) << ToolTip().toStdString();

    // Hidden: the exported menu is the tray menu; the host's context-menu
    // call is answered at once, and Netvigil's own menu pops up after.
    EXPECT_EQ(Shown(Menu()), (QStringList{"Options", "Stop Pinging", "Restore From Tray", "Exit"}));
    EXPECT_TRUE(Answered("/StatusNotifierItem", kItem, "ContextMenu", {0, 0}));
    EXPECT_TRUE(WaitFor([&] { return !m_desktop.Windows().empty(); })) << "no tray menu";
    m_desktop.XDoTool({"key", "Escape"});
    EXPECT_TRUE(WaitFor([&] { return m_desktop.Windows().empty(); }));

    // Activation restores the board; shown, there is no menu to offer.
    EXPECT_TRUE(Answered("/StatusNotifierItem", kItem, "Activate", {0, 0}));
    ASSERT_TRUE(WaitFor([&] { return BoardShown(); })) << "Activate did not restore the board";
    EXPECT_TRUE(WaitFor([&] { return Shown(Menu()).isEmpty(); }));
    EXPECT_TRUE(Answered("/StatusNotifierItem", kItem, "ContextMenu", {0, 0}));
    EXPECT_FALSE(WaitFor([&] { return m_desktop.Windows().size() > 1; }, 2s))
        << "a menu popped up over the shown board";

    // Stop Pinging from the menu bar shows in the exported menu once hidden.
    // (The menu bar: Options, Tray, Stop, Exit from the left.)
    const Window board = m_desktop.Board();
    m_desktop.Click(board, 115, 8);
    m_desktop.Click(board, 78, 8);
    ASSERT_TRUE(WaitFor([&] { return !BoardShown(); })) << "Tray left the board showing";
    EXPECT_TRUE(WaitFor([&] {
        return Shown(Menu()) ==
               QStringList{"Options", "Resume Pinging", "Restore From Tray", "Exit"};
    })) << Shown(Menu()).join(',').toStdString();

    // The exported menu's clicks: answered at once, then carried out.
    EXPECT_TRUE(Answered(
        MenuPath(), kMenu, "Event",
        {Id("Restore From Tray"), QString("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u}));
    EXPECT_TRUE(WaitFor([&] { return BoardShown(); })) << "Restore From Tray did nothing";
    m_desktop.Click(board, 78, 8);
    ASSERT_TRUE(WaitFor([&] { return !BoardShown() && Id("Exit") >= 0; }));
    EXPECT_TRUE(
        Answered(MenuPath(), kMenu, "Event",
                 {Id("Exit"), QString("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u}));
    const int status = WaitForEnd(m_netvigil);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    m_netvigil = 0;
}

// A flagged host that starts answering while the board is hidden: once it has
// answered two sweeps, the desktop is told through its notification server,
// and the notice's default action brings the board back. The change log has
// the host's first state and its change.
TEST_F(TrayHost, AFlaggedHostThatStartsAnsweringIsANotification) {
    std::string why;
    if (!EnterPrivateNetwork(&why)) {
        GTEST_SKIP() << why;
    }
    // Loopback of the test's own network, silent until told otherwise.
    ASSERT_TRUE(WriteSysctl("net.ipv4.icmp_echo_ignore_all", "1"));
    NotificationServer server(m_bus);
    ASSERT_TRUE(server.Serving());
    const std::string key = "HKCU\\Software\\Netvigil\\Remote Hosts";
    Reg({"add", key, "/v", "IP Address 1", "/d", "127.0.0.1", "/f"});
    Reg({"add", key, "/v", "Display Balloon 1", "/d", "1", "/f"});
    EchoRequests pings("127.0.0.1");
    Start();
    ASSERT_TRUE(WaitFor([&] { return ToolTip().contains("one is off."); }));
    ASSERT_FALSE(BoardShown());
    // Off for two sweeps: where the host stood when it was first found.
    ASSERT_TRUE(WaitFor([&] { return pings.Count() >= 2; })) << pings.Count();
    const int silent = pings.Count();
    ASSERT_TRUE(WriteSysctl("net.ipv4.icmp_echo_ignore_all", "0"));
    ASSERT_TRUE(WaitFor([&] { return !server.Notices().empty(); })) << "no notice";
    EXPECT_GE(pings.Count(), silent + 2) << "told after one answer";
    const NotificationServer::Notice notice = server.Notices().front();
    EXPECT_EQ(notice.app, "Netvigil");
    EXPECT_EQ(notice.summary, "Netvigil");
    EXPECT_EQ(notice.body, "one is on.");
    EXPECT_EQ(notice.icon, "dialog-information");
    EXPECT_EQ(notice.actions.value(0), "default");
    EXPECT_TRUE(ToolTip().contains("one is on."));

    server.Invoke(notice.id, "default");
    EXPECT_TRUE(WaitFor([&] { return BoardShown(); })) << "the notice's action did nothing";
    EXPECT_EQ(server.Notices().size(), 1u);

    std::istringstream log(ReadFileBytes(m_dir / "netvigil/changes.log"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);) {
        // The time aside: its form is the board's tests' concern.
        lines.push_back(line.substr(line.find('\t') + 1));
    }
    ASSERT_EQ(lines.size(), 4u) << ReadFileBytes(m_dir / "netvigil/changes.log");
    EXPECT_EQ(lines[0], "slot\tname\taddress\tstate\tround trip (ms)");
    EXPECT_EQ(lines[1], "1\tone\t127.0.0.1\toff\t");
    EXPECT_EQ(lines[2], "2\ttwo\t\toff\t");
    EXPECT_TRUE(std::regex_match(lines[3], std::regex("1\tone\t127\\.0\\.0\\.1\ton\t(<1|\\d+)")))
        << lines[3];
}

// No notification area at all (GNOME without its AppIndicator extension):
// the board is minimized where it would be hidden, and a minimized board is
// told of its flagged hosts through the desktop's notification service.
class NoNotificationArea : public TrayHost {
protected:
    void SetUp() override {
        TrayHost::SetUp();
        if (m_watcher) {
            m_watcher->Stop();
        }
    }
    bool Minimized() const { return !m_desktop.MinimizedBoard().empty(); }
};

TEST_F(NoNotificationArea, AFlaggedHostThatGoesOffWhileMinimizedIsANotification) {
    std::string why;
    if (!EnterPrivateNetwork(&why)) {
        GTEST_SKIP() << why;
    }
    NotificationServer server(m_bus);
    ASSERT_TRUE(server.Serving());
    const std::string key = "HKCU\\Software\\Netvigil\\Remote Hosts";
    Reg({"add", key, "/v", "IP Address 1", "/d", "127.0.0.1", "/f"});
    Reg({"add", key, "/v", "Display Balloon 1", "/d", "1", "/f"});
    EchoRequests pings("127.0.0.1");
    m_netvigil = StartNetvigil(m_desktop.NetvigilEnvironment(m_dir), {"/hide"});
    ASSERT_TRUE(WaitFor([&] { return Minimized(); })) << "/hide gave no minimized board";
    // Two sweeps see the host answer, each request answered as it came.
    ASSERT_TRUE(WaitFor([&] { return pings.Count() >= 2; })) << pings.Count();
    ASSERT_TRUE(WriteSysctl("net.ipv4.icmp_echo_ignore_all", "1"));
    ASSERT_TRUE(WaitFor([&] { return !server.Notices().empty(); })) << "no notice";
    const NotificationServer::Notice notice = server.Notices().front();
    EXPECT_EQ(notice.summary, "Netvigil");
    EXPECT_EQ(notice.body, "one is off.");
    EXPECT_EQ(notice.icon, "dialog-warning");
    EXPECT_EQ(notice.actions.value(0), "default");

    server.Invoke(notice.id, "default");
    EXPECT_TRUE(WaitFor([&] { return BoardShown() && !Minimized(); }))
        << "the notice's action did not restore the board";
    EXPECT_EQ(server.Notices().size(), 1u);
}

// The host goes away (a panel that crashes) while the board is hidden: the
// board comes back, minimized, with its task-list entry.
TEST_F(TrayHost, AHostThatGoesAwayGivesTheBoardBack) {
    Start();
    // Settled in the tray: a sweep has given the icon its tip.
    ASSERT_TRUE(WaitFor([&] { return ToolTip().contains("one is off."); }));
    ASSERT_EQ(m_desktop.MinimizedBoard(), "");
    m_watcher->Stop();
    std::string state;
    EXPECT_TRUE(WaitFor([&] { return !(state = m_desktop.MinimizedBoard()).empty(); }))
        << "the board stayed hidden with no host to come back from";
    EXPECT_EQ(state.find("SKIP_TASKBAR"), std::string::npos) << state;
}

} // namespace
