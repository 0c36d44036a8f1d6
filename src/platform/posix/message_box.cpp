#include "platform/message_box.h"

#include <cstdio>

namespace platform {

void ConsoleNote(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

} // namespace platform

namespace platform::detail {

int ShowMessageBox(HWND /*hWnd*/, const std::string& text, const std::string& caption,
                   UINT /*uType*/) {
    std::fprintf(stderr, "%s\n%s\n", caption.c_str(), text.c_str());
    return IDOK;
}

} // namespace platform::detail
