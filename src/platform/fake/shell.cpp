#include "platform/fake/fake_shell.h"

namespace platform {

namespace {
std::function<BOOL(DWORD)>& Answer() {
    static std::function<BOOL(DWORD)> answer;
    return answer;
}
} // namespace

namespace fake {
std::vector<ShellRequest>& ShellRequests() {
    static std::vector<ShellRequest> requests;
    return requests;
}
void SetShellAnswer(std::function<BOOL(DWORD)> answer) {
    Answer() = std::move(answer);
}
} // namespace fake

BOOL Shell_NotifyIcon(DWORD dwMessage, const NOTIFYICONDATA* lpData) {
    const BOOL answer = Answer() ? Answer()(dwMessage) : TRUE;
    fake::ShellRequests().push_back({dwMessage, *lpData});
    return answer;
}

} // namespace platform
