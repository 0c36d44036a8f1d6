#include "platform/win32/api.h"

#include <string>

namespace platform {

void ConsoleNote(const std::string& /*text*/) {}

} // namespace platform

namespace platform::detail {

int ShowMessageBox(HWND hWnd, const std::string& text, const std::string& caption, UINT uType) {
    return ::MessageBoxA(reinterpret_cast<::HWND>(static_cast<std::intptr_t>(hWnd)), text.c_str(),
                         caption.c_str(), uType);
}

} // namespace platform::detail
