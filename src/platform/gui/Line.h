#pragma once

#include "platform/gui/Control.h"

#include <cstdint>

namespace platform {

// A straight line between two points of the client area. It takes no mouse
// input.
class Line : public Control {
public:
    explicit Line(Form& owner);

    // The two ends, in twips.
    void SetPoints(int x1, int y1, int x2, int y2);
    std::int32_t BorderColor() const;
    void SetBorderColor(std::int32_t bgr);
};

} // namespace platform
