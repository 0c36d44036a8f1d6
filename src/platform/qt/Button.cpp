#include "platform/gui/Button.h"

#include "platform/qt/Internals.h"

#include <QMouseEvent>
#include <QPushButton>

namespace platform {

namespace {

class ButtonWidget : public QPushButton {
public:
    ButtonWidget(QWidget* parent, Button& button) : QPushButton(parent), m_button(button) {
        setProperty("windowed", true);
        QObject::connect(this, &QPushButton::clicked, this, [this] {
            if (m_button.Click) {
                m_button.Click();
            }
        });
    }

protected:
    void focusInEvent(QFocusEvent* event) override {
        QPushButton::focusInEvent(event);
        if (m_button.GotFocus) {
            m_button.GotFocus();
        }
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        QPushButton::mouseReleaseEvent(event);
        qt::RaiseMouseEvent(m_button.MouseUp, *event);
    }

private:
    Button& m_button;
};

QPushButton* Widget(const Control& control) {
    return static_cast<QPushButton*>(control.Internals().widget);
}

} // namespace

Button::Button(Form& owner)
    : Control(owner, std::make_unique<Impl>(new ButtonWidget(owner.Internals().client, *this))) {}

std::string Button::Caption() const {
    return Widget(*this)->text().toStdString();
}

void Button::SetCaption(const std::string& caption) {
    Widget(*this)->setText(QString::fromStdString(caption));
}

void Button::SetFocus() {
    Widget(*this)->setFocus(Qt::OtherFocusReason);
}

} // namespace platform
