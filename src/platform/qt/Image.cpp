#include "platform/gui/Image.h"

#include "platform/qt/Internals.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPointer>
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
        QWidget* under = nullptr;
        // Children lie bottom first; those above the surface take the pointer themselves.
        for (QObject* child : parentWidget()->children()) {
            if (child == this) {
                break;
            }
            auto* widget = qobject_cast<QWidget*>(child);
            if (widget != nullptr && widget->isVisible() && !widget->toolTip().isEmpty() &&
                widget->geometry().contains(at)) {
                under = widget;
            }
        }
        if (under == nullptr) {
            QToolTip::hideText();
            event->ignore();
        } else {
            m_at = help->globalPos();
            m_area = QRect(mapFromParent(under->pos()), under->size());
            m_shown = under->toolTip();
            if (m_under != under) {
                if (m_under != nullptr) {
                    m_under->removeEventFilter(this);
                }
                m_under = under;
                m_under->installEventFilter(this);
            }
            QToolTip::showText(m_at, m_shown, this, m_area);
        }
        return true;
    }
    // A tip on show follows a new text of its element (the board's names
    // change theirs after every sweep), rather than showing the old one on.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ToolTipChange && watched == m_under && QToolTip::isVisible() &&
            QToolTip::text() == m_shown) {
            m_shown = m_under->toolTip();
            QToolTip::showText(m_at, m_shown, this, m_area);
        }
        return false;
    }

private:
    Image& m_image;
    // The element whose tip the surface showed last, where, and its text.
    QPointer<QWidget> m_under;
    QPoint m_at;
    QRect m_area;
    QString m_shown;
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
