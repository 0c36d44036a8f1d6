#include "platform/gui/CheckBox.h"

#include "platform/win32/gui/Internals.h"

namespace platform {

CheckBox::CheckBox(Form& owner)
    : Control(owner, std::make_unique<Impl>(owner, Impl::Kind::CheckBox)) {}

int CheckBox::Value() const {
    return ::SendMessageW(Internals().child, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

void CheckBox::SetValue(int value) {
    ::SendMessageW(Internals().child, BM_SETCHECK, value == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
}

} // namespace platform
