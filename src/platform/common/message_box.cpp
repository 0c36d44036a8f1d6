#include "platform/message_box.h"

#include <mutex>

namespace platform {

namespace {

std::mutex g_lock;

MessageBoxHandler& Handler() {
    static MessageBoxHandler handler;
    return handler;
}

} // namespace

int MessageBox(HWND hWnd, const char* lpText, const char* lpCaption, UINT uType) {
    const std::string text = lpText == nullptr ? "" : lpText;
    const std::string caption = lpCaption == nullptr ? "" : lpCaption;
    MessageBoxHandler handler;
    {
        const std::lock_guard guard(g_lock);
        handler = Handler();
    }
    if (handler) {
        return handler(hWnd, text, caption, uType);
    }
    return detail::ShowMessageBox(hWnd, text, caption, uType);
}

void SetMessageBoxHandler(MessageBoxHandler handler) {
    const std::lock_guard guard(g_lock);
    Handler() = std::move(handler);
}

} // namespace platform
