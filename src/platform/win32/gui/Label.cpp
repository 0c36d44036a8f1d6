#include "platform/gui/Label.h"

#include "platform/win32/gui/Internals.h"

namespace platform {

Label::Label(Form& owner) : Control(owner, std::make_unique<Impl>(owner, Impl::Kind::Label)) {}

std::string Label::Caption() const {
    return Internals().caption;
}

void Label::SetCaption(const std::string& caption) {
    Internals().caption = caption;
    if (Internals().accessibleName.empty()) {
        win32::ElementChanged(Internals(), EVENT_OBJECT_NAMECHANGE);
    }
    Internals().Repaint();
}

std::int32_t Label::ForeColor() const {
    return Internals().color;
}

void Label::SetForeColor(std::int32_t bgr) {
    Internals().color = bgr;
    Internals().Repaint();
}

void Label::SetFont(const Font& font) {
    Impl& c = Internals();
    if (c.hFont != nullptr) {
        ::DeleteObject(c.hFont);
    }
    c.hasFont = true;
    c.font = font;
    c.hFont = win32::MakeFont(font, c.owner.Internals().Dpi());
    c.Repaint();
}

void Label::SetCentredVertically(bool centred) {
    Internals().centred = centred;
    Internals().Repaint();
}

void Label::SetElided(bool elided) {
    Internals().elided = elided;
    Internals().Repaint();
}

bool Label::FocusMark() const {
    return Internals().focusMark;
}

void Label::SetFocusMark(bool shown) {
    Internals().focusMark = shown;
    Internals().Repaint();
}

} // namespace platform
