#include "platform/gui/Image.h"

#include "platform/win32/gui/Internals.h"

#include <algorithm>

namespace platform {

Image::Image(Form& owner) : Control(owner, std::make_unique<Impl>(owner, Impl::Kind::Image)) {}

void Image::ZOrder() {
    // Last in the window's list: the first the pointer meets. Child windows
    // lie above every windowless element anyway.
    auto& controls = Internals().owner.Internals().controls;
    const auto it = std::find_if(controls.begin(), controls.end(),
                                 [this](const auto& control) { return control.get() == this; });
    if (it != controls.end()) {
        std::rotate(it, it + 1, controls.end());
    }
}

} // namespace platform
