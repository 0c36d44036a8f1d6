#pragma once

// What the options window does to the board while it is open: it shows the
// colours as the user picks them and puts the old ones back on Cancel. The
// main window implements it; the options window calls nothing else of it.

#include <cstdint>

class IBoardPreview {
public:
    virtual ~IBoardPreview() = default;
    // The board's background.
    virtual void SetBoardBackColor(std::int32_t bgr) = 0;
    // The text colour of the board's 20 names (lblPC).
    virtual void SetNameForeColor(std::int32_t bgr) = 0;
};
