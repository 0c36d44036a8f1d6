#include "desktop_bus.h"

#include <QDBusMessage>
#include <QDBusVariant>

namespace testing_support {

namespace {

constexpr const char* kWatcherService = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
constexpr const char* kNotifications = "org.freedesktop.Notifications";
constexpr const char* kNotificationsPath = "/org/freedesktop/Notifications";

} // namespace

StatusNotifierWatcher::StatusNotifierWatcher(QDBusConnection bus) : m_bus(std::move(bus)) {
    m_serving =
        m_bus.registerVirtualObject(kWatcherPath, this) && m_bus.registerService(kWatcherService);
}

StatusNotifierWatcher::~StatusNotifierWatcher() {
    Stop();
    m_bus.unregisterObject(kWatcherPath);
}

void StatusNotifierWatcher::Stop() {
    m_bus.unregisterService(kWatcherService);
}

QString StatusNotifierWatcher::Item() const {
    const std::lock_guard lock(m_lock);
    return m_item;
}

QString StatusNotifierWatcher::introspect(const QString& /*path*/) const {
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

bool StatusNotifierWatcher::handleMessage(const QDBusMessage& message, const QDBusConnection& bus) {
    const QString member = message.member();
    if (member == "RegisterStatusNotifierItem") {
        // An item names its bus name, or only its object path on the
        // caller's own.
        const QString name = message.arguments().value(0).toString();
        {
            const std::lock_guard lock(m_lock);
            m_item = name.startsWith('/') ? message.service() : name;
        }
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
            value = QStringList(Item());
        }
        bus.send(member == "Get" ? message.createReply(QVariant::fromValue(QDBusVariant(value)))
                                 : message.createReply(QVariantMap()));
    } else {
        return false;
    }
    return true;
}

NotificationServer::NotificationServer(QDBusConnection bus) : m_bus(std::move(bus)) {
    m_serving = m_bus.registerVirtualObject(kNotificationsPath, this) &&
                m_bus.registerService(kNotifications);
}

NotificationServer::~NotificationServer() {
    m_bus.unregisterService(kNotifications);
    m_bus.unregisterObject(kNotificationsPath);
}

std::vector<NotificationServer::Notice> NotificationServer::Notices() const {
    const std::lock_guard lock(m_lock);
    return m_notices;
}

void NotificationServer::Invoke(uint id, const QString& action) {
    QDBusMessage invoked =
        QDBusMessage::createSignal(kNotificationsPath, kNotifications, "ActionInvoked");
    invoked << id << action;
    m_bus.send(invoked);
}

// Netvigil calls it by name and never asks what it offers.
QString NotificationServer::introspect(const QString& /*path*/) const {
    return {};
}

bool NotificationServer::handleMessage(const QDBusMessage& message, const QDBusConnection& bus) {
    const QString member = message.member();
    const QVariantList args = message.arguments();
    if (member == "GetCapabilities") {
        bus.send(message.createReply(QStringList{"actions", "body", "body-markup"}));
    } else if (member == "Notify" && args.size() == 8) {
        const std::lock_guard lock(m_lock);
        const auto id = static_cast<uint>(m_notices.size() + 1);
        // The reply goes out first: a notice the test sees has been answered,
        // as one a user sees has been.
        bus.send(message.createReply(QVariant::fromValue(id)));
        m_notices.push_back({id, args[0].toString(), args[2].toString(), args[3].toString(),
                             args[4].toString(), args[5].toStringList()});
    } else if (member == "CloseNotification") {
        bus.send(message.createReply());
    } else {
        return false;
    }
    return true;
}

} // namespace testing_support
