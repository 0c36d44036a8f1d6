#pragma once

#include "platform/gui/Font.h"

// The board's rows lie this far apart, in twips.
inline constexpr int kBoardRowPitch = 240;

// The face of the board's names, which the options window's heading shares:
// "Segoe UI" 11.25 pt where the desktop has it; elsewhere the desktop's own
// face, made small enough that a line of text keeps within one row.
platform::Font BoardFont();
