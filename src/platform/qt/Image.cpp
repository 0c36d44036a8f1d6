#include "platform/qt/Image.h"

#include "platform/qt/Form.h"
#include "platform/qt/Twips.h"

#include <QMouseEvent>

namespace platform::qt {

void Image::ZOrder() {
    raise();
    if (parentWidget() == nullptr) {
        return;
    }
    // A copy: raising a widget reorders its parent's list of children.
    const QObjectList siblings = parentWidget()->children();
    for (QObject* child : siblings) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget != nullptr && widget->property("windowed").toBool()) {
            widget->raise();
        }
    }
}

void Image::mousePressEvent(QMouseEvent* event) {
    RaiseMouseEvent(MouseDown, *event);
}

} // namespace platform::qt
