#include "platform/gui/Shape.h"

#include "platform/win32/gui/Internals.h"

namespace platform {

Shape::Shape(Form& owner) : Control(owner, std::make_unique<Impl>(owner, Impl::Kind::Shape)) {
    Internals().color = 0xFFFFFF;
}

std::int32_t Shape::FillColor() const {
    return Internals().color;
}

void Shape::SetFillColor(std::int32_t bgr) {
    if (Internals().color != bgr) {
        Internals().color = bgr;
        Internals().Repaint();
    }
}

LightMark Shape::Mark() const {
    return Internals().mark;
}

void Shape::SetMark(LightMark mark) {
    if (Internals().mark != mark) {
        Internals().mark = mark;
        Internals().Repaint();
    }
}

int Shape::Top() const {
    return Internals().top;
}

void Shape::SetTop(int twips) {
    Impl& c = Internals();
    Move(c.left, twips, c.width, c.height);
}

} // namespace platform
