#include "platform/gui/CheckBox.h"

#include "platform/qt/Internals.h"

#include <QCheckBox>

namespace platform {

namespace {

QCheckBox* NewCheckBox(Form& owner) {
    auto* box = new QCheckBox(owner.Internals().client);
    box->setProperty("windowed", true);
    return box;
}

QCheckBox* Widget(const Control& control) {
    return static_cast<QCheckBox*>(control.Internals().widget);
}

} // namespace

CheckBox::CheckBox(Form& owner) : Control(owner, std::make_unique<Impl>(NewCheckBox(owner))) {}

int CheckBox::Value() const {
    return Widget(*this)->isChecked() ? 1 : 0;
}

void CheckBox::SetValue(int value) {
    Widget(*this)->setChecked(value == 1);
}

} // namespace platform
