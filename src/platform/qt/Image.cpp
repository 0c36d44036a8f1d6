#include "platform/Image.h"

#include "platform/qt/Internals.h"

#include <QMouseEvent>
#include <QWidget>

namespace platform {

namespace {

class Surface : public QWidget {
public:
    Surface(QWidget* parent, Image& image) : QWidget(parent), m_image(image) {}

protected:
    void mousePressEvent(QMouseEvent* event) override {
        qt::RaiseMouseEvent(m_image.MouseDown, *event);
    }

private:
    Image& m_image;
};

} // namespace

Image::Image(Form& owner)
    : Control(owner, std::make_unique<Impl>(new Surface(owner.Internals().client, *this))) {}

void Image::ZOrder() {
    QWidget* surface = Internals().widget;
    surface->raise();
    if (surface->parentWidget() == nullptr) {
        return;
    }
    // A copy: raising a widget reorders its parent's list of children.
    const QObjectList siblings = surface->parentWidget()->children();
    for (QObject* child : siblings) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget != nullptr && widget->property("windowed").toBool()) {
            widget->raise();
        }
    }
}

} // namespace platform
