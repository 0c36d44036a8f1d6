#pragma once

// A handler that runs a loop of its own (a yield, a modal window, a popup
// menu, a dialog) lets other handlers run inside it, and one of those may
// unload a window that the handler further up the stack still uses. Such a
// window is deleted only once every nested loop has ended, and then only when
// control is back in the event loop that called the outermost handler.

class QObject;

namespace platform::qt {

class NestedLoop {
public:
    NestedLoop();
    ~NestedLoop();
    NestedLoop(const NestedLoop&) = delete;
    NestedLoop& operator=(const NestedLoop&) = delete;
};

// Deletes the object once no handler up the stack can still be using it.
void DeleteWhenUnwound(QObject* object);

} // namespace platform::qt
