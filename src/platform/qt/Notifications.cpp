#include "platform/qt/Notifications.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace platform::qt {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
// How long a call to the notification server may take before it is given up.
constexpr int kWait = 5000;

QDBusMessage Call(const char* member) {
    return QDBusMessage::createMethodCall(kService, kPath, kService, member);
}

} // namespace

Notifications::Notifications(std::function<void(const Key&)> clicked)
    : QObject(qApp), m_clicked(std::move(clicked)) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.connect(kService, kPath, kService, "ActionInvoked", this,
                SLOT(ActionInvoked(uint, QString)));
    bus.connect(kService, kPath, kService, "NotificationClosed", this,
                SLOT(NotificationClosed(uint, uint)));
}

void Notifications::Show(const Key& key, const QString& title, const QString& message,
                         QSystemTrayIcon::MessageIcon kind, int timeout) {
    auto* asked = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(Call("GetCapabilities"), kWait), this);
    connect(asked, &QDBusPendingCallWatcher::finished, this,
            [this, key, title, message, kind, timeout](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<QStringList> reply = *call;
                // A name with a "<" or "&" in it is text, not markup.
                const bool markup = !reply.isError() && reply.value().contains("body-markup");
                Notify(key, title, markup ? message.toHtmlEscaped() : message, kind, timeout);
            });
}

void Notifications::Notify(const Key& key, const QString& title, const QString& body,
                           QSystemTrayIcon::MessageIcon kind, int timeout) {
    const auto it = m_current.find(key);
    const uint replaces = it == m_current.end() ? 0 : it->second;
    const char* icon = kind == QSystemTrayIcon::Warning       ? "dialog-warning"
                       : kind == QSystemTrayIcon::Critical    ? "dialog-error"
                       : kind == QSystemTrayIcon::Information ? "dialog-information"
                                                              : "";
    QDBusMessage notify = Call("Notify");
    notify << QCoreApplication::applicationName() << replaces << QString(icon) << title << body
           << QStringList{"default", "Show"} << QVariantMap() << timeout;
    auto* sent =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(notify, kWait), this);
    connect(sent, &QDBusPendingCallWatcher::finished, this,
            [this, key](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<uint> reply = *call;
                if (reply.isError()) {
                    return;
                }
                m_keys.erase(m_current[key]);
                m_current[key] = reply.value();
                m_keys[reply.value()] = key;
            });
}

void Notifications::Close(const Key& key) {
    const auto it = m_current.find(key);
    if (it == m_current.end()) {
        return;
    }
    QDBusMessage close = Call("CloseNotification");
    close << it->second;
    QDBusConnection::sessionBus().asyncCall(close, kWait);
    m_keys.erase(it->second);
    m_current.erase(it);
}

void Notifications::ActionInvoked(uint id, const QString& action) {
    const auto it = m_keys.find(id);
    if (it != m_keys.end() && action == "default") {
        m_clicked(it->second);
    }
}

void Notifications::NotificationClosed(uint id, uint /*reason*/) {
    const auto it = m_keys.find(id);
    if (it != m_keys.end()) {
        m_current.erase(it->second);
        m_keys.erase(it);
    }
}

} // namespace platform::qt
