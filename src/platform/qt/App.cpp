#include "platform/gui/App.h"

#include "platform/gui/Form.h"
#include "platform/message_box.h"
#include "platform/qt/Internals.h"
#include "platform/qt/NestedLoop.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDate>
#include <QLocale>
#include <QMessageBox>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <system_error>
#include <thread>
#include <vector>
#include <xcb/xcb.h>

namespace platform {

namespace {

// Message boxes are Qt dialogs, over the window whose handle they name.
void InstallMessageBox() {
    SetMessageBoxHandler(
        [](HWND hWnd, const std::string& text, const std::string& caption, UINT uType) {
            const qt::NestedLoop nested;
            const Form* owner = Form::FromHandle(hWnd);
            QWidget* parent = owner != nullptr ? owner->Internals().window : nullptr;
            if ((uType & MB_ICONERROR) != 0) {
                QMessageBox::critical(parent, QString::fromStdString(caption),
                                      QString::fromStdString(text));
            } else {
                QMessageBox::information(parent, QString::fromStdString(caption),
                                         QString::fromStdString(text));
            }
            return IDOK;
        });
}

// Wayland never tells a program that its window was minimized, nor lets it
// keep the window off the task list. Where the session also offers X11
// (XWayland, started on demand by GNOME, KDE and most compositors), the board
// runs there; the user's own QT_QPA_PLATFORM always stands. True when the
// choice was made here, and so must not reach the programs Netvigil starts.
bool PreferX11() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qEnvironmentVariableIsEmpty("DISPLAY")) {
        return false;
    }
    qputenv("QT_QPA_PLATFORM", "xcb;wayland");
    return true;
}

// Said once, at start, so that a user who wonders why a minimized board stays
// in the task list finds the reason.
void TellWhatWaylandCannotDo() {
    if (!QGuiApplication::platformName().startsWith("wayland")) {
        return;
    }
    std::fputs("Netvigil: on this Wayland desktop the board is a Wayland client, and Wayland\n"
               "never tells a program that its window was minimized: a minimized board stays\n"
               "minimized instead of going to the notification area at the next sweep (Tray\n"
               "still sends it there). Nor can the board leave the task list or place itself.\n"
               "Where X11 (Xwayland) is offered, Netvigil runs there unless QT_QPA_PLATFORM\n"
               "says otherwise.\n",
               stderr);
}

} // namespace

int Run(int& argc, char** argv, const std::string& title, const std::function<void()>& start) {
    const bool chosen = PreferX11();
    QApplication app(argc, argv);
    if (chosen) {
        qunsetenv("QT_QPA_PLATFORM");
    }
    TellWhatWaylandCannotDo();
    QApplication::setApplicationName(QString::fromStdString(title));
    // The name of the desktop entry, which the windows' class names too.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.netvigil.Netvigil"));
    // Hidden in the tray, the program goes on without any window shown.
    QApplication::setQuitOnLastWindowClosed(false);
    InstallMessageBox();
    // Queued: the last unload often runs inside a popup menu's own loop.
    Form::SetLastFormUnloaded(
        [] { QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection); });
    start();
    // A start that loaded no window (a second one, which handed its request
    // to the first) has nothing to wait for.
    if (Form::Forms().empty()) {
        return 0;
    }
    return QApplication::exec();
}

std::string LocaleTimeText(const LocalTime& when, bool withDate) {
    const QLocale locale = QLocale::system();
    // The C locale alone writes seconds in its short form.
    const QString format = locale.language() == QLocale::C
                               ? QStringLiteral("HH:mm")
                               : locale.timeFormat(QLocale::ShortFormat);
    QString text = locale.toString(QTime(when.hour, when.minute), format);
    if (withDate) {
        text = locale.toString(QDate(when.year, when.month, when.day), QLocale::ShortFormat) + ' ' +
               text;
    }
    return text.toStdString();
}

void DoEvents() {
    const qt::NestedLoop nested;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void DoEventsWhile(const std::function<void()>& blocking) {
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (dispatcher == nullptr) {
        blocking();
        return;
    }
    const qt::NestedLoop nested;
    std::atomic<bool> done = false;
    std::thread worker;
    try {
        worker = std::thread([&] {
            blocking();
            done = true;
            // Ends the wait for events below, or the next one, at once.
            dispatcher->wakeUp();
        });
    } catch (const std::system_error&) {
        blocking();
        return;
    }
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    worker.join();
}

namespace {
std::optional<std::string>& CommandOverride() {
    static std::optional<std::string> command;
    return command;
}
} // namespace

void SetCommand(std::optional<std::string> command) {
    CommandOverride() = std::move(command);
}

std::string Command() {
    if (CommandOverride()) {
        return *CommandOverride();
    }
    QStringList args = QCoreApplication::arguments();
    if (!args.isEmpty()) {
        args.removeFirst();
    }
    return args.join(' ').toStdString();
}

namespace {

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    const auto cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

} // namespace

namespace {

// Adds the skip-taskbar and skip-pager states to a window, or takes them off.
void SetSkipTaskList(Form& form, bool skip) {
    // Qt's own window flags give no such hint on X11: ask the window manager.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (QGuiApplication::platformName() != "xcb" || connection == nullptr) {
        return;
    }
    const auto window = static_cast<xcb_window_t>(form.Internals().window->winId());
    const xcb_atom_t state = Atom(connection, "_NET_WM_STATE");
    const xcb_atom_t atoms[] = {Atom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                                Atom(connection, "_NET_WM_STATE_SKIP_PAGER")};
    if (form.Visible()) {
        // A mapped window's state belongs to the window manager: send it a request.
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = state;
        event.data.data32[0] = skip ? 1 : 0; // add or remove
        event.data.data32[1] = atoms[0];
        event.data.data32[2] = atoms[1];
        event.data.data32[3] = 1;
        xcb_send_event(connection, 0, screen->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    } else if (skip) {
        xcb_change_property(connection, XCB_PROP_MODE_APPEND, window, state, XCB_ATOM_ATOM, 32, 2,
                            atoms);
    } else {
        // Unmapped, the window's own property is what the manager will read.
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, window, state, XCB_ATOM_ATOM, 0, 64),
            nullptr);
        std::vector<xcb_atom_t> kept;
        if (reply != nullptr) {
            const auto* value = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
            const int count = xcb_get_property_value_length(reply) / 4;
            std::copy_if(value, value + count, std::back_inserter(kept),
                         [&](xcb_atom_t a) { return a != atoms[0] && a != atoms[1]; });
            std::free(reply);
        }
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, state, XCB_ATOM_ATOM, 32,
                            static_cast<std::uint32_t>(kept.size()), kept.data());
    }
    xcb_flush(connection);
}

} // namespace

void HideFromTaskList(Form& form) {
    SetSkipTaskList(form, true);
}

void ShowInTaskList(Form& form) {
    SetSkipTaskList(form, false);
}

void End() {
    std::fflush(nullptr);
    std::_Exit(0);
}

} // namespace platform
