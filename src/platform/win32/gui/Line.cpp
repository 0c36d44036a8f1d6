#include "platform/gui/Line.h"

#include "platform/win32/gui/Internals.h"

#include <algorithm>
#include <cstdlib>

namespace platform {

Line::Line(Form& owner) : Control(owner, std::make_unique<Impl>(owner, Impl::Kind::Line)) {}

void Line::SetPoints(int x1, int y1, int x2, int y2) {
    Impl& c = Internals();
    c.x1 = x1;
    c.y1 = y1;
    c.x2 = x2;
    c.y2 = y2;
    // The rectangle it is repainted by, a pixel wider each way.
    const int pad = 30;
    Move(std::min(x1, x2) - pad, std::min(y1, y2) - pad, std::abs(x2 - x1) + 2 * pad,
         std::abs(y2 - y1) + 2 * pad);
}

std::int32_t Line::BorderColor() const {
    return Internals().color;
}

void Line::SetBorderColor(std::int32_t bgr) {
    Internals().color = bgr;
    Internals().Repaint();
}

} // namespace platform
