#pragma once

// Balloons as desktop notifications (org.freedesktop.Notifications), for the
// StatusNotifierItem hosts, which show none of their own. Each icon has at
// most one at a time, as on Windows: the next one replaces it, and removing
// the icon closes it.

#include "platform/win32_types.h"

#include <QObject>
#include <QSystemTrayIcon>

#include <functional>
#include <map>
#include <utility>

namespace platform::qt {

class Notifications : public QObject {
    Q_OBJECT

public:
    // An icon: its window handle and id.
    using Key = std::pair<HWND, UINT>;

    // clicked is told of each notice whose default action (a click on its
    // body, for most servers) has been invoked.
    explicit Notifications(std::function<void(const Key&)> clicked);

    void Show(const Key& key, const QString& title, const QString& message,
              QSystemTrayIcon::MessageIcon kind, int timeout);
    void Close(const Key& key);

private slots:
    void ActionInvoked(uint id, const QString& action);
    void NotificationClosed(uint id, uint reason);

private:
    void Notify(const Key& key, const QString& title, const QString& body,
                QSystemTrayIcon::MessageIcon kind, int timeout);

    std::function<void(const Key&)> m_clicked;
    // The notice each icon shows now, and the icon of each.
    std::map<Key, uint> m_current;
    std::map<uint, Key> m_keys;
};

} // namespace platform::qt
