#pragma once

// One instance of the program per user session, in the shape Windows gives
// it: a named mutex that the first start holds for its whole run, and a
// message to that start's window. A later start finds the first through the
// session itself, never through a file that a crash could leave behind: what
// a process holds goes with it, however it ends.

#include <functional>

namespace platform {

class Form;

// Holds the session's instance for this process (CreateMutexA, unless
// GetLastError says ERROR_ALREADY_EXISTS) and returns true; returns false
// when a process of the same user and session holds it already. Where the
// session's instance cannot be held or asked at all, it returns true: two
// boards are better than none.
bool ClaimInstance();

// Asks the process that holds the instance to bring its window to the
// front; returns whether it took the request.
bool ActivateInstance();

// What this process does when a later start asks it: the handler runs on
// the user-interface thread, as any notification does, and then form, or a
// modal window over it, comes to the front.
void SetInstanceActivate(Form& form, std::function<void()> handler);

} // namespace platform
