// Netvigil on a desktop whose notification area is a StatusNotifierItem host
// (KDE Plasma, Xfce, GNOME with AppIndicator): the test is that host, on the
// desktop's own session bus. It reads the item, and makes the calls a host
// makes: activation, the context-menu request, the exported menu's clicks.

#include "desktop.h"
#include "echo_requests.h"
#include "test_support.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;

namespace {

constexpr const char* kWatcherService = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
constexpr const char* kItem = "org.kde.StatusNotifierItem";
constexpr const char* kMenu = "com.canonical.dbusmenu";

// The watcher a host runs: items register with it, and it says that a host
// is there to show them.
class Watcher : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override {
        return QStringLiteral(
            "<interface name=\"org.kde.StatusNotifierWatcher\">"
            "<method name=\"RegisterStatusNotifierItem\"><arg type=\"s\" direction=\"in\"/>"
            "</method>"
            "<method name=\"RegisterStatusNotifierHost\"><arg type=\"s\" direction=\"in\"/>"
            "</method>"
            "<property name=\"RegisteredStatusNotifierItems\" type=\"as\" access=\"read\"/>"
            "<property name=\"IsStatusNotifierHostRegistered\" type=\"b\" access=\"read\"/>"
            "<property name=\"ProtocolVersion\" type=\"i\" access=\"read\"/>"
            "</interface>");
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
        const QString member = message.member();
        if (member == "RegisterStatusNotifierItem") {
            const QString name = message.arguments().value(0).toString();
            item = name.startsWith('/') ? message.service() : name;
            bus.send(message.createReply());
        } else if (member == "RegisterStatusNotifierHost") {
            bus.send(message.createReply());
        } else if (member == "Get" || member == "GetAll") {
            const QString property = message.arguments().value(1).toString();
            QVariant value;
            if (property == "IsStatusNotifierHostRegistered") {
                value = true;
            } else if (property == "ProtocolVersion") {
                value = 0;
            } else {
                value = QStringList(item);
            }
            bus.send(member == "Get" ? message.createReply(QVariant::fromValue(QDBusVariant(value)))
                                     : message.createReply(QVariantMap()));
        } else {
            return false;
        }
        return true;
    }

    QString item;
};

// A notification server of the test's own: it takes every notice and keeps
// it, and says which of the protocol's capabilities it has.
class NotificationServer : public QDBusVirtualObject {
public:
    struct Notice {
        uint id = 0;
        QString app;
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
    };

    // Netvigil calls it by name and never asks what it offers.
    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
        const QString member = message.member();
        const QVariantList args = message.arguments();
        if (member == "GetCapabilities") {
            bus.send(message.createReply(QStringList{"actions", "body", "body-markup"}));
        } else if (member == "Notify" && args.size() == 8) {
            notices.push_back({++m_last, args[0].toString(), args[2].toString(), args[3].toString(),
                               args[4].toString(), args[5].toStringList()});
            bus.send(message.createReply(QVariant::fromValue(m_last)));
        } else if (member == "CloseNotification") {
            bus.send(message.createReply());
        } else {
            return false;
        }
        return true;
    }

    std::vector<Notice> notices;

private:
    uint m_last = 0;
};

template <typename Condition> bool WaitFor(Condition condition, int ms = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > ms) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ::usleep(10000);
    }
    return true;
}

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
        ASSERT_TRUE(m_bus.registerVirtualObject(kWatcherPath, &m_watcher));
        ASSERT_TRUE(m_bus.registerService(kWatcherService));
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
        if (m_bus.isConnected()) {
            m_bus.unregisterService(kWatcherService);
            m_bus.unregisterObject(kWatcherPath);
        }
        QDBusConnection::disconnectFromBus("host");
    }

    std::map<std::string, std::string> Environment() const {
        std::map<std::string, std::string> env = m_desktop.Environment();
        env.insert({{"QT_QPA_PLATFORM", "xcb"},
                    {"NETVIGIL_REGISTRY", m_dir / "registry.db"},
                    {"XDG_STATE_HOME", m_dir.Path()}});
        return env;
    }
    void Reg(const std::vector<std::string>& args) const {
        RunProgram(BinDir() + "/netvigil-reg", args, Environment());
    }
    void Start() {
        m_netvigil = StartProgram({BinDir() + "/netvigil", "/hide"}, Environment());
        ASSERT_TRUE(WaitFor([&] { return !m_watcher.item.isEmpty(); })) << "no item registered";
    }

    // A call to the item, answered within the time a host waits.
    QDBusMessage Call(const QString& path, const QString& interface, const QString& member,
                      const QVariantList& args, qint64* took = nullptr) {
        QDBusMessage call = QDBusMessage::createMethodCall(m_watcher.item, path, interface, member);
        call.setArguments(args);
        QElapsedTimer clock;
        clock.start();
        QDBusPendingCall pending = m_bus.asyncCall(call, 3000);
        WaitFor([&] { return pending.isFinished(); }, 4000);
        if (took != nullptr) {
            *took = clock.elapsed();
        }
        return pending.reply();
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
    // Netvigil's windows that are mapped: the board, or a popup menu.
    std::vector<std::string> VisibleWindows() const {
        std::vector<std::string> ids;
        std::istringstream out(
            m_desktop.XDoTool({"search", "--onlyvisible", "--class", "netvigil"}));
        for (std::string id; out >> id;) {
            ids.push_back(id);
        }
        return ids;
    }
    // The board is about 197 pixels wide; a popup menu is narrower.
    bool BoardShown() const {
        for (const std::string& id : VisibleWindows()) {
            const std::string geometry = m_desktop.XDoTool({"getwindowgeometry", id});
            const auto at = geometry.find("Geometry: ");
            int width = 0;
            int height = 0;
            if (at != std::string::npos &&
                std::sscanf(geometry.c_str() + at, "Geometry: %dx%d", &width, &height) == 2 &&
                width >= 190 && width <= 210 && height > 60) {
                return true;
            }
        }
        return false;
    }

    VirtualDesktop m_desktop{true, false};
    TempDir m_dir;
    QDBusConnection m_bus{QString()};
    Watcher m_watcher;
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
    qint64 took = 0;
    Call("/StatusNotifierItem", kItem, "ContextMenu", {0, 0}, &took);
    EXPECT_LT(took, 1000);
    EXPECT_TRUE(WaitFor([&] { return !VisibleWindows().empty(); }, 3000)) << "no tray menu";
    m_desktop.XDoTool({"key", "Escape"});
    EXPECT_TRUE(WaitFor([&] { return VisibleWindows().empty(); }, 3000));

    // Activation restores the board; shown, there is no menu to offer.
    Call("/StatusNotifierItem", kItem, "Activate", {0, 0}, &took);
    EXPECT_LT(took, 1000);
    ASSERT_TRUE(WaitFor([&] { return BoardShown(); })) << "Activate did not restore the board";
    EXPECT_TRUE(WaitFor([&] { return Shown(Menu()).isEmpty(); }));
    Call("/StatusNotifierItem", kItem, "ContextMenu", {0, 0}, &took);
    EXPECT_LT(took, 1000);
    ::usleep(500000);
    EXPECT_EQ(VisibleWindows().size(), 1u) << "a menu popped up over the shown board";

    // Stop Pinging from the menu bar shows in the exported menu once hidden.
    // (The menu bar: Options, Tray, Stop, Exit from the left.)
    const std::string board = VisibleWindows().front();
    m_desktop.XDoTool({"mousemove", "--window", board, "115", "8", "click", "1"});
    ::usleep(300000);
    m_desktop.XDoTool({"mousemove", "--window", board, "78", "8", "click", "1"});
    ASSERT_TRUE(WaitFor([&] { return !BoardShown(); })) << "Tray left the board showing";
    EXPECT_TRUE(WaitFor([&] {
        return Shown(Menu()) ==
               QStringList{"Options", "Resume Pinging", "Restore From Tray", "Exit"};
    })) << Shown(Menu()).join(',').toStdString();

    // The exported menu's clicks: answered at once, then carried out.
    Call(MenuPath(), kMenu, "Event",
         {Id("Restore From Tray"), QString("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u},
         &took);
    EXPECT_LT(took, 1000);
    EXPECT_TRUE(WaitFor([&] { return BoardShown(); })) << "Restore From Tray did nothing";
    m_desktop.XDoTool({"mousemove", "--window", board, "78", "8", "click", "1"});
    ASSERT_TRUE(WaitFor([&] { return !BoardShown() && Id("Exit") >= 0; }));
    Call(MenuPath(), kMenu, "Event",
         {Id("Exit"), QString("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u}, &took);
    EXPECT_LT(took, 1000);
    int status = -1;
    EXPECT_TRUE(WaitFor([&] { return ::waitpid(m_netvigil, &status, WNOHANG) == m_netvigil; }));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
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
    NotificationServer server;
    ASSERT_TRUE(m_bus.registerVirtualObject("/org/freedesktop/Notifications", &server));
    ASSERT_TRUE(m_bus.registerService("org.freedesktop.Notifications"));
    const std::string key = "HKCU\\Software\\Netvigil\\Remote Hosts";
    Reg({"add", key, "/v", "IP Address 1", "/d", "127.0.0.1", "/f"});
    Reg({"add", key, "/v", "Display Balloon 1", "/d", "1", "/f"});
    EchoRequests pings("127.0.0.1");
    Start();
    ASSERT_TRUE(WaitFor([&] { return ToolTip().contains("one is off."); }));
    ASSERT_FALSE(BoardShown());
    // Off for two sweeps: where the host stood when it was first found.
    ASSERT_TRUE(WaitFor([&] { return pings.Count() >= 2; }, 15000)) << pings.Count();
    const int silent = pings.Count();
    ASSERT_TRUE(WriteSysctl("net.ipv4.icmp_echo_ignore_all", "0"));
    // Within two sweeps (5 s apart) and the one under way.
    ASSERT_TRUE(WaitFor([&] { return !server.notices.empty(); }, 20000)) << "no notice";
    EXPECT_GE(pings.Count(), silent + 2) << "told after one answer";
    const NotificationServer::Notice& notice = server.notices.front();
    EXPECT_EQ(notice.app, "Netvigil");
    EXPECT_EQ(notice.summary, "Netvigil");
    EXPECT_EQ(notice.body, "one is on.");
    EXPECT_EQ(notice.icon, "dialog-information");
    EXPECT_EQ(notice.actions.value(0), "default");
    EXPECT_TRUE(ToolTip().contains("one is on."));

    QDBusMessage invoked = QDBusMessage::createSignal(
        "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked");
    invoked << notice.id << QString("default");
    m_bus.send(invoked);
    EXPECT_TRUE(WaitFor([&] { return BoardShown(); })) << "the notice's action did nothing";
    EXPECT_EQ(server.notices.size(), 1u);
    m_bus.unregisterService("org.freedesktop.Notifications");
    m_bus.unregisterObject("/org/freedesktop/Notifications");

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
        m_bus.unregisterService(kWatcherService);
    }
    bool Minimized() const {
        std::istringstream ids(m_desktop.XDoTool({"search", "--class", "netvigil"}));
        for (std::string id; ids >> id;) {
            if (m_desktop.XProp(id, "WM_STATE").find("Iconic") != std::string::npos) {
                return true;
            }
        }
        return false;
    }
};

TEST_F(NoNotificationArea, AFlaggedHostThatGoesOffWhileMinimizedIsANotification) {
    std::string why;
    if (!EnterPrivateNetwork(&why)) {
        GTEST_SKIP() << why;
    }
    NotificationServer server;
    ASSERT_TRUE(m_bus.registerVirtualObject("/org/freedesktop/Notifications", &server));
    ASSERT_TRUE(m_bus.registerService("org.freedesktop.Notifications"));
    const std::string key = "HKCU\\Software\\Netvigil\\Remote Hosts";
    Reg({"add", key, "/v", "IP Address 1", "/d", "127.0.0.1", "/f"});
    Reg({"add", key, "/v", "Display Balloon 1", "/d", "1", "/f"});
    EchoRequests pings("127.0.0.1");
    m_netvigil = StartProgram({BinDir() + "/netvigil", "/hide"}, Environment());
    ASSERT_TRUE(WaitFor([&] { return Minimized(); })) << "/hide gave no minimized board";
    // Two sweeps see the host answer, each request answered as it came.
    ASSERT_TRUE(WaitFor([&] { return pings.Count() >= 2; }, 15000)) << pings.Count();
    ASSERT_TRUE(WriteSysctl("net.ipv4.icmp_echo_ignore_all", "1"));
    ASSERT_TRUE(WaitFor([&] { return !server.notices.empty(); }, 20000)) << "no notice";
    const NotificationServer::Notice& notice = server.notices.front();
    EXPECT_EQ(notice.summary, "Netvigil");
    EXPECT_EQ(notice.body, "one is off.");
    EXPECT_EQ(notice.icon, "dialog-warning");
    EXPECT_EQ(notice.actions.value(0), "default");

    QDBusMessage invoked = QDBusMessage::createSignal(
        "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked");
    invoked << notice.id << QString("default");
    m_bus.send(invoked);
    EXPECT_TRUE(WaitFor([&] { return BoardShown() && !Minimized(); }))
        << "the notice's action did not restore the board";
    EXPECT_EQ(server.notices.size(), 1u);
    m_bus.unregisterService("org.freedesktop.Notifications");
    m_bus.unregisterObject("/org/freedesktop/Notifications");
}

// The host goes away (a panel that crashes) while the board is hidden: the
// board comes back, minimized, with its task-list entry.
TEST_F(TrayHost, AHostThatGoesAwayGivesTheBoardBack) {
    std::string state;
    const auto minimized = [&] {
        std::istringstream ids(m_desktop.XDoTool({"search", "--class", "netvigil"}));
        for (std::string id; ids >> id;) {
            state = m_desktop.XProp(id, "WM_STATE");
            if (state.find("Iconic") != std::string::npos) {
                state += m_desktop.XProp(id, "_NET_WM_STATE");
                return true;
            }
        }
        return false;
    };
    Start();
    // Settled in the tray: a sweep has given the icon its tip.
    ASSERT_TRUE(WaitFor([&] { return ToolTip().contains("one is off."); }));
    ASSERT_FALSE(minimized()) << state;
    m_bus.unregisterService(kWatcherService);
    EXPECT_TRUE(WaitFor(minimized)) << "the board stayed hidden with no host to come back from";
    EXPECT_EQ(state.find("SKIP_TASKBAR"), std::string::npos) << state;
}

} // namespace
