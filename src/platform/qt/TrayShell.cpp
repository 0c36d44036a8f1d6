#include "platform/qt/TrayShell.h"

#include "platform/gui/App.h"
#include "platform/gui/Form.h"
#include "platform/gui/Twips.h"
#include "platform/qt/Icons.h"
#include "platform/qt/Internals.h"
#include "platform/qt/Notifications.h"
#include "platform/shell.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

namespace platform::qt {

namespace {

struct TrayEntry {
    // Owned by Qt's object tree so that it can outlive its entry until the
    // event loop is done with it: an icon is often removed from within its
    // own click (the tray menu's Exit).
    QSystemTrayIcon* icon = new QSystemTrayIcon(qApp);
    HWND hWnd = 0;
    UINT uID = 0;
    UINT callbackMessage = 0;
    UINT version = 0;
    // On a StatusNotifierItem host: the menu the host shows on a right click.
    QMenu* exported = nullptr;
    // Added on a StatusNotifierItem host, whose balloons are notifications.
    bool statusNotifier = false;
    // A balloon of this icon went to the desktop's notification service.
    bool notified = false;
};

using Key = Notifications::Key;

std::map<Key, std::unique_ptr<TrayEntry>>& Entries() {
    static std::map<Key, std::unique_ptr<TrayEntry>> entries;
    return entries;
}

constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";

// On a StatusNotifierItem host (KDE, Xfce, GNOME with the extension, most
// current desktops) icons are activated, never double-clicked, and the host
// draws the icon's menu itself.
bool StatusNotifierHost() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() != nullptr &&
           bus.interface()->isServiceRegistered(kWatcher).value();
}

// A hidden window whose notification area has gone (a panel that crashed or
// restarts) would leave the user nothing to bring it back with: it comes
// back minimized, with its task-list entry.
void NotificationAreaGone() {
    for (auto& [key, entry] : Entries()) {
        Form* form = Form::FromHandle(key.first);
        if (form != nullptr && !form->Visible()) {
            ShowInTaskList(*form);
            form->SetWindowState(vbMinimized);
            form->Show();
        }
    }
}

// Icons added while the desktop had no notification area yet (a panel that
// starts after Netvigil at log-in) are shown again once one appears.
void NotificationAreaBack() {
    for (auto& [key, entry] : Entries()) {
        entry->icon->hide();
        entry->icon->show();
    }
}

// Follows the notification area as it comes and goes: the host's service
// on the session bus, or the XEmbed tray's selection, which Qt tracks.
void WatchNotificationArea() {
    static bool watching = false;
    if (watching) {
        return;
    }
    watching = true;
    if (StatusNotifierHost()) {
        auto* watcher = new QDBusServiceWatcher(kWatcher, QDBusConnection::sessionBus(),
                                                QDBusServiceWatcher::WatchForOwnerChange, qApp);
        QObject::connect(watcher, &QDBusServiceWatcher::serviceUnregistered,
                         [] { NotificationAreaGone(); });
        return;
    }
    static bool available = QSystemTrayIcon::isSystemTrayAvailable();
    auto* poll = new QTimer(qApp);
    poll->setInterval(250);
    QObject::connect(poll, &QTimer::timeout, [] {
        const bool now = QSystemTrayIcon::isSystemTrayAvailable();
        if (now != available) {
            available = now;
            now ? NotificationAreaBack() : NotificationAreaGone();
        }
    });
    poll->start();
}

// The callback goes to the window named in the record as its mouse-move
// notification, the message number where the pointer's x would be.
void Deliver(const Key& key, UINT message) {
    const auto it = Entries().find(key);
    if (it == Entries().end() || it->second->callbackMessage != WM_MOUSEMOVE) {
        return;
    }
    Form* form = Form::FromHandle(key.first);
    if (form == nullptr) {
        return;
    }
    const double x = form->ScaleMode() == vbPixels ? message : message * TwipsPerPixelX();
    form->RaiseMouseMove(0, 0, static_cast<float>(x), 0);
}

// On a StatusNotifierItem desktop a balloon is a desktop notification, and
// its default action is the balloon click.
Notifications& Balloons() {
    static auto* notifications = new Notifications([](const Key& key) {
        QTimer::singleShot(0, qApp, [key] { Deliver(key, NIN_BALLOONUSERCLICK); });
    });
    return *notifications;
}

// The exported menu mirrors the one a right click on the icon would pop up
// now, which depends on the window (the tray menu only while it is hidden):
// asked again whenever the window is shown or hidden. Its items are copies
// that follow their originals and trigger them from the event loop.
void Mirror(const Key& key) {
    const auto it = Entries().find(key);
    Form* form = Form::FromHandle(key.first);
    if (it == Entries().end() || it->second->exported == nullptr) {
        return;
    }
    QMenu* exported = it->second->exported;
    exported->clear();
    Menu* shown = nullptr;
    if (form != nullptr) {
        const core::PopupProbe probe;
        const double x =
            form->ScaleMode() == vbPixels ? WM_RBUTTONUP : WM_RBUTTONUP * TwipsPerPixelX();
        form->RaiseMouseMove(0, 0, static_cast<float>(x), 0);
        shown = probe.Shown();
    }
    if (shown == nullptr) {
        return;
    }
    for (QAction* original : shown->Internals().menu->actions()) {
        QAction* copy = exported->addAction(original->text());
        const auto follow = [original, copy] {
            copy->setText(original->text());
            copy->setSeparator(original->isSeparator());
            copy->setVisible(original->isVisible());
            copy->setEnabled(original->isEnabled());
        };
        follow();
        QObject::connect(original, &QAction::changed, copy, follow);
        QObject::connect(copy, &QAction::triggered, original, [original] {
            QTimer::singleShot(0, original, [original] { original->trigger(); });
        });
    }
}

// Watches a window's showing and hiding for the menus exported for it.
class VisibilityWatch : public QObject {
public:
    explicit VisibilityWatch(Key key) : QObject(qApp), m_key(key) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show || event->type() == QEvent::Hide) {
            QTimer::singleShot(0, this, [key = m_key] { Mirror(key); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    Key m_key;
};

void ExportMenu(TrayEntry& entry) {
    entry.exported = new QMenu();
    QObject::connect(entry.icon, &QObject::destroyed, entry.exported, &QObject::deleteLater);
    entry.icon->setContextMenu(entry.exported);
    const Key key{entry.hWnd, entry.uID};
    if (Form* form = Form::FromHandle(entry.hWnd)) {
        auto* watch = new VisibilityWatch(key);
        QMainWindow* window = form->Internals().window;
        window->installEventFilter(watch);
        QObject::connect(window, &QObject::destroyed, watch, &QObject::deleteLater);
        QObject::connect(entry.icon, &QObject::destroyed, watch, &QObject::deleteLater);
    }
    QTimer::singleShot(0, qApp, [key] { Mirror(key); });
}

QString FieldText(const char* field, std::size_t width) {
    const std::size_t length =
        static_cast<std::size_t>(std::find(field, field + width, '\0') - field);
    QString text = QString::fromUtf8(field, static_cast<qsizetype>(length));
    // A lone carriage return is a line break on Windows; Qt would draw a blank.
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    return text;
}

void Apply(TrayEntry& entry, const NOTIFYICONDATA& r, bool statusNotifier) {
    if ((r.uFlags & NIF_MESSAGE) != 0) {
        entry.callbackMessage = r.uCallbackMessage;
    }
    if ((r.uFlags & NIF_ICON) != 0) {
        entry.icon->setIcon(IconFromHandle(r.hIcon));
    }
    if ((r.uFlags & NIF_TIP) != 0) {
        // The smallest record holds only the tip's first 64 characters.
        entry.icon->setToolTip(FieldText(r.szTip, r.cbSize >= 488 ? sizeof r.szTip : 64));
    }
    if ((r.uFlags & NIF_INFO) != 0 && r.cbSize >= 488) {
        const QSystemTrayIcon::MessageIcon kinds[] = {
            QSystemTrayIcon::NoIcon, QSystemTrayIcon::Information, QSystemTrayIcon::Warning,
            QSystemTrayIcon::Critical};
        const QSystemTrayIcon::MessageIcon kind =
            r.dwInfoFlags < 4 ? kinds[r.dwInfoFlags] : QSystemTrayIcon::Information;
        // The shell holds a balloon between 10 and 30 seconds, whatever is asked.
        const int timeout = static_cast<int>(std::clamp<UINT>(r.uTimeout, 10000, 30000));
        const QString title = FieldText(r.szInfoTitle, sizeof r.szInfoTitle);
        const QString message = FieldText(r.szInfo, sizeof r.szInfo);
        // With no notification area at all (GNOME without its AppIndicator
        // extension) there is no icon to hold a balloon: the desktop's
        // notification service tells it, as for a StatusNotifierItem.
        if (statusNotifier || !QSystemTrayIcon::isSystemTrayAvailable()) {
            entry.notified = true;
            Balloons().Show({entry.hWnd, entry.uID}, title, message, kind, timeout);
        } else {
            entry.icon->showMessage(title, message, kind, timeout);
        }
    }
}

} // namespace

const QSystemTrayIcon* TrayIconFor(HWND hWnd, UINT uID) {
    const auto it = Entries().find({hWnd, uID});
    return it == Entries().end() ? nullptr : it->second->icon;
}

} // namespace platform::qt

namespace platform {

bool NotificationAreaAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

BOOL Shell_NotifyIcon(DWORD dwMessage, NOTIFYICONDATA* lpData) {
    using namespace qt;
    if (lpData == nullptr || lpData->cbSize < 88 || lpData->cbSize > sizeof(NOTIFYICONDATA)) {
        return FALSE;
    }
    // Only what the announced size covers is read; the rest counts as zero.
    NOTIFYICONDATA r{};
    std::memcpy(&r, lpData, lpData->cbSize);
    const Key key{r.hWnd, r.uID};
    auto& entries = Entries();
    const auto it = entries.find(key);
    switch (dwMessage) {
    case NIM_ADD: {
        // Made even while no notification area is there: Qt docks the icon
        // when one appears, as a panel that starts after Netvigil at log-in.
        if (it != entries.end()) {
            return FALSE;
        }
        auto entry = std::make_unique<TrayEntry>();
        entry->hWnd = r.hWnd;
        entry->uID = r.uID;
        const bool statusNotifier = StatusNotifierHost();
        // Delivered from the event loop, never inside the host's own call:
        // a menu or a window shown from there would keep the host waiting.
        const auto deliver = [key](UINT message) {
            QTimer::singleShot(0, qApp, [key, message] { Deliver(key, message); });
        };
        QObject::connect(entry->icon, &QSystemTrayIcon::activated,
                         [deliver, statusNotifier](auto reason) {
                             switch (reason) {
                             case QSystemTrayIcon::DoubleClick:
                                 deliver(WM_LBUTTONDBLCLK);
                                 break;
                             case QSystemTrayIcon::Trigger:
                                 deliver(statusNotifier ? WM_LBUTTONDBLCLK : WM_LBUTTONUP);
                                 break;
                             case QSystemTrayIcon::Context:
                                 deliver(WM_RBUTTONUP);
                                 break;
                             default:
                                 break;
                             }
                         });
        if (statusNotifier) {
            ExportMenu(*entry);
            // Qt takes any notification's action for its own balloon's click;
            // the balloons here are Notifications', which deliver their own.
        } else {
            QObject::connect(entry->icon, &QSystemTrayIcon::messageClicked,
                             [deliver] { deliver(NIN_BALLOONUSERCLICK); });
        }
        entry->statusNotifier = statusNotifier;
        Apply(*entry, r, statusNotifier);
        entry->icon->show();
        entries.emplace(key, std::move(entry));
        WatchNotificationArea();
        return TRUE;
    }
    case NIM_MODIFY:
        if (it == entries.end()) {
            return FALSE;
        }
        Apply(*it->second, r, it->second->statusNotifier);
        return TRUE;
    case NIM_DELETE:
        if (it == entries.end()) {
            return FALSE;
        }
        // Not hidden here: hiding destroys the icon's window at once, and
        // the request may come from within that window's own click.
        it->second->icon->deleteLater();
        if (it->second->notified) {
            Balloons().Close(key);
        }
        entries.erase(it);
        return TRUE;
    case NIM_SETVERSION:
        if (it == entries.end()) {
            return FALSE;
        }
        it->second->version = r.uTimeout;
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace platform
