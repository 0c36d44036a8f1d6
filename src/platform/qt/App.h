#pragma once

// What the program asks of the window system as a whole.

#include "platform/win32_types.h"

#include <optional>
#include <string>

namespace platform::qt {

class Form;

// Processes every pending message (clicks, menu commands, timer ticks,
// repaints) and returns.
void DoEvents();

// The program's arguments, joined by single blanks.
std::string Command();
// Stands in for the arguments (tests start windows as if with other ones);
// nothing restores the real ones.
void SetCommand(std::optional<std::string> command);

// Keeps the window out of the desktop's task list, or puts it back.
void HideFromTaskList(Form& form);
void ShowInTaskList(Form& form);

// Ends the process at once, with no unload notifications.
[[noreturn]] void End();

// Starts a command line as a new process, not waited for: show style 0
// hidden, 1 normal and activated. Returns its process id, or 0.
DWORD Shell(const std::string& commandLine, int showStyle);

// Makes message boxes Qt dialogs.
void InstallMessageBox();

} // namespace platform::qt
