#include "platform/gui/Button.h"

#include "platform/win32/gui/Internals.h"

namespace platform {

Button::Button(Form& owner) : Control(owner, std::make_unique<Impl>(owner, Impl::Kind::Button)) {}

std::string Button::Caption() const {
    return Internals().caption;
}

void Button::SetCaption(const std::string& caption) {
    Internals().caption = caption;
    ::SetWindowTextW(Internals().child, win32::Wide(caption).c_str());
}

void Button::SetFocus() {
    ::SetFocus(Internals().child);
}

} // namespace platform
