#include "platform/qt/Button.h"

#include "platform/qt/Form.h"
#include "platform/qt/Twips.h"

#include <QMouseEvent>

namespace platform::qt {

Button::Button(QWidget* parent) : QPushButton(parent) {
    setProperty("windowed", true);
    show();
}

void Button::focusInEvent(QFocusEvent* event) {
    QPushButton::focusInEvent(event);
    if (GotFocus) {
        GotFocus();
    }
}

void Button::mouseReleaseEvent(QMouseEvent* event) {
    QPushButton::mouseReleaseEvent(event);
    RaiseMouseEvent(MouseUp, *event);
}

} // namespace platform::qt
