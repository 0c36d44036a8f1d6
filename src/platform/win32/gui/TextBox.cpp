#include "platform/gui/TextBox.h"

#include "platform/win32/gui/Internals.h"

namespace platform {

TextBox::TextBox(Form& owner)
    : Control(owner, std::make_unique<Impl>(owner, Impl::Kind::TextBox)) {}

std::string TextBox::Text() const {
    const ::HWND box = Internals().child;
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(box)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
    return win32::Narrow(text);
}

void TextBox::SetText(const std::string& text) {
    ::SetWindowTextW(Internals().child, win32::Wide(text).c_str());
}

} // namespace platform
