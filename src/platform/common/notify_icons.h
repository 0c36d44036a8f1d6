#pragma once

// The icons a program has in the notification area, as a shell that may
// forget them needs them kept. Windows' shell forgets every icon when it
// starts afresh (after a crash, an update, a change of display), and a busy
// shell may refuse an add at log-in: a program that added its icon once would
// then have none for the rest of its run. Each request of the tray class goes
// through here: the last icon, tip and callback of each icon are kept, an
// icon the shell does not have is added again before the next request for
// it, and every icon is added again when the shell says it has started.

#include "platform/shell.h"

#include <functional>
#include <map>
#include <utility>

namespace platform {

class NotifyIcons {
public:
    // The shell's own Shell_NotifyIcon.
    using Send = std::function<BOOL(DWORD dwMessage, NOTIFYICONDATA* lpData)>;

    explicit NotifyIcons(Send send) : m_send(std::move(send)) {}

    // A request of the tray class, sent on to the shell: its answer.
    BOOL Request(DWORD dwMessage, NOTIFYICONDATA* lpData);
    // The shell has started afresh, with no icon: each icon is added again
    // with its last picture, tip and callback. A balloon is not shown again.
    void ShellStarted();

private:
    struct Icon {
        // The add and the changes since, merged.
        NOTIFYICONDATA record{};
        // NIM_SETVERSION's, 0 until one is asked for.
        UINT version = 0;
        // Whether the shell has it.
        bool added = false;
    };

    // Sends the icon as an add (and its version): true when the shell took it.
    bool Add(const Icon& icon);

    Send m_send;
    std::map<std::pair<HWND, UINT>, Icon> m_icons;
};

} // namespace platform
