#include "platform/gui/TextBox.h"

#include "platform/qt/Internals.h"

#include <QLineEdit>

namespace platform {

namespace {

QLineEdit* NewTextBox(Form& owner) {
    auto* box = new QLineEdit(owner.Internals().client);
    box->setProperty("windowed", true);
    return box;
}

QLineEdit* Widget(const Control& control) {
    return static_cast<QLineEdit*>(control.Internals().widget);
}

} // namespace

TextBox::TextBox(Form& owner) : Control(owner, std::make_unique<Impl>(NewTextBox(owner))) {}

std::string TextBox::Text() const {
    return Widget(*this)->text().toStdString();
}

void TextBox::SetText(const std::string& text) {
    Widget(*this)->setText(QString::fromStdString(text));
}

} // namespace platform
