#include "platform/message_box.h"

#include <cstdio>

namespace platform::detail {

int ShowMessageBox(HWND /*hWnd*/, const std::string& text, const std::string& caption,
                   UINT /*uType*/) {
    std::fprintf(stderr, "%s\n%s\n", caption.c_str(), text.c_str());
    return IDOK;
}

} // namespace platform::detail
