#include "platform/common/notify_icons.h"

#include <cstring>

namespace platform {

namespace {

// What an add carries: the picture, the tip and the callback, not a balloon.
constexpr UINT kAddFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;

// The fields a change names, into the icon's record.
void Merge(NOTIFYICONDATA& kept, const NOTIFYICONDATA& change) {
    kept.cbSize = change.cbSize;
    kept.uFlags |= change.uFlags & kAddFlags;
    if ((change.uFlags & NIF_MESSAGE) != 0) {
        kept.uCallbackMessage = change.uCallbackMessage;
    }
    if ((change.uFlags & NIF_ICON) != 0) {
        kept.hIcon = change.hIcon;
    }
    if ((change.uFlags & NIF_TIP) != 0) {
        std::memcpy(kept.szTip, change.szTip, sizeof kept.szTip);
    }
}

} // namespace

bool NotifyIcons::Add(const Icon& icon) {
    NOTIFYICONDATA add = icon.record;
    if (m_send(NIM_ADD, &add) == FALSE) {
        return false;
    }
    if (icon.version != 0) {
        NOTIFYICONDATA version = icon.record;
        version.uTimeout = icon.version;
        m_send(NIM_SETVERSION, &version);
    }
    return true;
}

BOOL NotifyIcons::Request(DWORD dwMessage, NOTIFYICONDATA* lpData) {
    const std::pair<HWND, UINT> key{lpData->hWnd, lpData->uID};
    if (dwMessage == NIM_ADD) {
        Icon& icon = m_icons[key];
        // An icon added again (the tray class's Tray command does) is
        // refused by a shell that has it: it still has it.
        const bool had = icon.added;
        icon = Icon{};
        icon.record = *lpData;
        icon.record.uFlags &= kAddFlags;
        const BOOL answer = m_send(dwMessage, lpData);
        icon.added = answer != FALSE || had;
        return answer;
    }
    if (dwMessage == NIM_DELETE) {
        m_icons.erase(key);
        return m_send(dwMessage, lpData);
    }
    const auto it = m_icons.find(key);
    if (it == m_icons.end()) {
        // Not added here (a change before any add): the shell answers it.
        return m_send(dwMessage, lpData);
    }
    Icon& icon = it->second;
    if (dwMessage == NIM_SETVERSION) {
        icon.version = lpData->uTimeout;
        return icon.added ? m_send(dwMessage, lpData) : FALSE;
    }
    if (dwMessage != NIM_MODIFY) {
        return m_send(dwMessage, lpData);
    }
    Merge(icon.record, *lpData);
    // Refused before: added now, with what it is to show now. An add the
    // shell refuses because it has the icon after all (added again by a
    // change between its start and its word of it) leaves the change to
    // tell.
    const bool addedNow = !icon.added;
    if (addedNow) {
        icon.added = Add(icon);
    }
    if (m_send(dwMessage, lpData) != FALSE) {
        icon.added = true;
        return TRUE;
    }
    // A shell that lost the icon without saying so refuses the change; one
    // that is only busy refuses the add too, and the icon counts as there.
    if (addedNow || !Add(icon)) {
        return FALSE;
    }
    return m_send(dwMessage, lpData);
}

void NotifyIcons::ShellStarted() {
    for (auto& [key, icon] : m_icons) {
        icon.added = Add(icon);
    }
}

} // namespace platform
