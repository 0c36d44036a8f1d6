#include "platform/qt/TrayShell.h"

#include "platform/qt/Form.h"
#include "platform/qt/Icons.h"
#include "platform/qt/Twips.h"
#include "platform/shell.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
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
};

using Key = std::pair<HWND, UINT>;

std::map<Key, std::unique_ptr<TrayEntry>>& Entries() {
    static std::map<Key, std::unique_ptr<TrayEntry>> entries;
    return entries;
}

// On a StatusNotifierItem host (KDE, GNOME with the extension, most
// current desktops) icons are activated, never double-clicked.
bool StatusNotifierHost() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() != nullptr &&
           bus.interface()->isServiceRegistered("org.kde.StatusNotifierWatcher").value();
}

// Icons added while the desktop had no notification area yet (a panel that
// starts after Netvigil at log-in) are shown again once one appears.
void ShowWhenTrayAppears() {
    static QTimer* watch = nullptr;
    if (watch == nullptr) {
        watch = new QTimer(qApp);
        watch->setInterval(250);
        QObject::connect(watch, &QTimer::timeout, [] {
            if (!QSystemTrayIcon::isSystemTrayAvailable()) {
                return;
            }
            watch->stop();
            for (auto& [key, entry] : Entries()) {
                entry->icon->hide();
                entry->icon->show();
            }
        });
    }
    watch->start();
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
    const double x = form->ScaleMode() == 3 ? message : message * TwipsPerPixelX();
    form->RaiseMouseMove(0, 0, static_cast<float>(x), 0);
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

void Apply(TrayEntry& entry, const NOTIFYICONDATA& r) {
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
        entry.icon->showMessage(FieldText(r.szInfoTitle, sizeof r.szInfoTitle),
                                FieldText(r.szInfo, sizeof r.szInfo), kind, timeout);
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
        const bool activationIsDoubleClick = StatusNotifierHost();
        QObject::connect(
            entry->icon, &QSystemTrayIcon::activated, [key, activationIsDoubleClick](auto reason) {
                switch (reason) {
                case QSystemTrayIcon::DoubleClick:
                    Deliver(key, WM_LBUTTONDBLCLK);
                    break;
                case QSystemTrayIcon::Trigger:
                    Deliver(key, activationIsDoubleClick ? WM_LBUTTONDBLCLK : WM_LBUTTONUP);
                    break;
                case QSystemTrayIcon::Context:
                    Deliver(key, WM_RBUTTONUP);
                    break;
                default:
                    break;
                }
            });
        QObject::connect(entry->icon, &QSystemTrayIcon::messageClicked,
                         [key] { Deliver(key, NIN_BALLOONUSERCLICK); });
        Apply(*entry, r);
        entry->icon->show();
        entries.emplace(key, std::move(entry));
        if (!QSystemTrayIcon::isSystemTrayAvailable()) {
            ShowWhenTrayAppears();
        }
        return TRUE;
    }
    case NIM_MODIFY:
        if (it == entries.end()) {
            return FALSE;
        }
        Apply(*it->second, r);
        return TRUE;
    case NIM_DELETE:
        if (it == entries.end()) {
            return FALSE;
        }
        // Not hidden here: hiding destroys the icon's window at once, and
        // the request may come from within that window's own click.
        it->second->icon->deleteLater();
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
