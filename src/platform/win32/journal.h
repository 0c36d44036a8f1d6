#pragma once

// While a journal is open, the registry functions note how to undo every
// change they make, so that a group of changes can be taken back whole.

#include "platform/win32_types.h"

namespace platform::win32 {

// Opens the journal, or nests in the one that is open.
LONG BeginJournal();
// Closes one level; at the outermost, undo takes back every change noted
// since the journal was opened, newest first. Returns the first failure of
// that undoing, else ERROR_SUCCESS.
LONG EndJournal(bool undo);

} // namespace platform::win32
