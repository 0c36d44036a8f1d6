#pragma once

// The services of a StatusNotifierItem desktop (KDE Plasma, Xfce, GNOME with
// AppIndicator) on its session bus, as a test runs them in place of the
// panel and the notification daemon. Each serves on the connection it is
// given from when it is made until it ends. The connection calls them on a
// thread of its own; what they keep is read under a lock.

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QStringList>

#include <mutex>
#include <vector>

namespace testing_support {

// The watcher a host runs: items register with it, and it says that a host
// is there to show them.
class StatusNotifierWatcher : public QDBusVirtualObject {
public:
    explicit StatusNotifierWatcher(QDBusConnection bus);
    ~StatusNotifierWatcher() override;
    StatusNotifierWatcher(const StatusNotifierWatcher&) = delete;
    StatusNotifierWatcher& operator=(const StatusNotifierWatcher&) = delete;

    bool Serving() const { return m_serving; }
    // Gives up the watcher's name, as a panel that goes away.
    void Stop();
    // The bus name of the item registered last; empty until one is.
    QString Item() const;

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override;

private:
    QDBusConnection m_bus;
    bool m_serving = false;
    mutable std::mutex m_lock;
    QString m_item;
};

// A notification server: it takes every notice and keeps it, and says which
// of the protocol's capabilities it has.
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

    explicit NotificationServer(QDBusConnection bus);
    ~NotificationServer() override;
    NotificationServer(const NotificationServer&) = delete;
    NotificationServer& operator=(const NotificationServer&) = delete;

    bool Serving() const { return m_serving; }
    // The notices so far, each once its sender has been told its id.
    std::vector<Notice> Notices() const;
    // What the server says when the user invokes one of a notice's actions
    // ("default": a click on its body, for most servers).
    void Invoke(uint id, const QString& action);

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override;

private:
    QDBusConnection m_bus;
    bool m_serving = false;
    mutable std::mutex m_lock;
    std::vector<Notice> m_notices;
};

} // namespace testing_support
