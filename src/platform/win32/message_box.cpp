#include "platform/win32/api.h"
#include "platform/win32/wide.h"

#include <string>

namespace platform {

void ConsoleNote(const std::string& /*text*/) {}

} // namespace platform

namespace platform::detail {

int ShowMessageBox(HWND hWnd, const std::string& text, const std::string& caption, UINT uType) {
    return ::MessageBoxW(reinterpret_cast<::HWND>(static_cast<std::intptr_t>(hWnd)),
                         win32::Wide(text).c_str(), win32::Wide(caption).c_str(), uType);
}

} // namespace platform::detail
