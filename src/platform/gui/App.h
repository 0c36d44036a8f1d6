#pragma once

// What the program asks of the window system as a whole.

#include "platform/clock.h"
#include "platform/process.h"
#include "platform/win32_types.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace platform {

class Form;

// Runs the program: readies the window system for the arguments, calls
// start, which loads the first window, then delivers messages until the last
// loaded window has been unloaded. Returns the exit code.
int Run(int& argc, char** argv, const std::string& title, const std::function<void()>& start);

// Processes every pending message (clicks, menu commands, timer ticks,
// repaints) and returns.
void DoEvents();
// Runs blocking on a thread of its own and meanwhile processes messages as
// they come, as DoEvents does, until it has returned: a wait that never
// freezes the windows. blocking must touch nothing of this thread's; a
// window unloaded meanwhile is freed only after the call, as after DoEvents.
void DoEventsWhile(const std::function<void()>& blocking);

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

// Starts a command line as a new process, not waited for, its window shown
// as showStyle says (SW_HIDE, SW_SHOWNORMAL). Returns its process id, or 0.
DWORD Shell(const std::string& commandLine, WORD showStyle);

// Netvigil's own icon, as the program carries it.
HICON ProgramIcon();

// The icon with a small round badge of the colour (0x00BBGGRR) in its lower
// right corner, at every size the icon has, drawn to stay legible on light
// and dark panels alike; no colour gives the icon itself. The same icon and
// colour give the same handle every time, so a caller may ask after every
// sweep.
HICON BadgedIcon(HICON hIcon, std::optional<std::int32_t> lBadgeColor);

// A moment as the user's locale writes the time of day, without seconds
// ("14:02", "2:02 PM"), after the locale's short date when withDate.
std::string LocaleTimeText(const LocalTime& when, bool withDate);

} // namespace platform
