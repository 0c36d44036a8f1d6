#pragma once

#include "platform/win32_types.h"

#include <functional>
#include <string>

namespace platform {

inline constexpr UINT MB_OK = 0x00000000;
inline constexpr UINT MB_ICONERROR = 0x00000010;
inline constexpr int IDOK = 1;

// Shows a modal message and returns the button chosen. Until a window
// system installs its own way, the backend's is used: Windows' message box,
// or on Linux the text on standard error.
int MessageBox(HWND hWnd, const char* lpText, const char* lpCaption, UINT uType);

// Tells whoever started the program from a terminal: a line on standard
// error on Linux; nothing on Windows, where a program with windows has no
// console to tell it on.
void ConsoleNote(const std::string& text);

using MessageBoxHandler =
    std::function<int(HWND hWnd, const std::string& text, const std::string& caption, UINT uType)>;

// Replaces how messages are shown (the window system's dialog, a test's
// recorder); an empty handler restores the default.
void SetMessageBoxHandler(MessageBoxHandler handler);

namespace detail {
// The backend's own way of showing a message.
int ShowMessageBox(HWND hWnd, const std::string& text, const std::string& caption, UINT uType);
} // namespace detail

} // namespace platform
