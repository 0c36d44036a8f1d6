#include "platform/fake/fake_shell.h"

namespace platform {

namespace {
std::function<BOOL(DWORD)>& Answer() {
    static std::function<BOOL(DWORD)> answer;
    return answer;
}
} // namespace

bool g_area = true;

namespace fake {
void SetNotificationArea(bool available) {
    g_area = available;
}

std::vector<ShellRequest>& ShellRequests() {
    static std::vector<ShellRequest> requests;
    return requests;
}
void SetShellAnswer(std::function<BOOL(DWORD)> answer) {
    Answer() = std::move(answer);
}
} // namespace fake

bool NotificationAreaAvailable() {
    return g_area;
}

BOOL Shell_NotifyIcon(DWORD dwMessage, NOTIFYICONDATA* lpData) {
    const BOOL answer = Answer() ? Answer()(dwMessage) : TRUE;
    fake::ShellRequests().push_back({dwMessage, *lpData});
    return answer;
}

} // namespace platform
