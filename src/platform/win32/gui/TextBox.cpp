#include "platform/gui/TextBox.h"

#include "platform/win32/gui/Internals.h"

namespace platform {

TextBox::TextBox(Form& owner)
    : Control(owner, std::make_unique<Impl>(owner, Impl::Kind::TextBox)) {}

std::string TextBox::Text() const {
    const ::HWND box = Internals().child;
    std::string text(static_cast<std::size_t>(::GetWindowTextLengthA(box)) + 1, '\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextA(box, text.data(), static_cast<int>(text.size()))));
    return text;
}

void TextBox::SetText(const std::string& text) {
    ::SetWindowTextA(Internals().child, text.c_str());
}

} // namespace platform
