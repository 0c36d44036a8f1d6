#include "platform/gui/Image.h"

#include "platform/qt/Internals.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>
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
    // Lying over the labels, the surface would hide their tooltips: it shows
    // the tooltip of the element beneath the pointer.
    bool event(QEvent* event) override {
        if (event->type() != QEvent::ToolTip || parentWidget() == nullptr) {
            return QWidget::event(event);
        }
        const auto* help = static_cast<QHelpEvent*>(event);
        const QPoint at = mapToParent(help->pos());
        const QWidget* under = nullptr;
        // Children lie bottom first; those above the surface take the pointer themselves.
        for (QObject* child : parentWidget()->children()) {
            if (child == this) {
                break;
            }
            const auto* widget = qobject_cast<QWidget*>(child);
            if (widget != nullptr && widget->isVisible() && !widget->toolTip().isEmpty() &&
                widget->geometry().contains(at)) {
                under = widget;
            }
        }
        if (under == nullptr) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), under->toolTip(), this,
                               QRect(mapFromParent(under->pos()), under->size()));
        }
        return true;
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
