#include "platform/Shape.h"

#include "platform/Twips.h"
#include "platform/qt/Internals.h"
#include "platform/qt/Twips.h"

#include <QAccessibleWidget>
#include <QPainter>
#include <QWidget>

#include <algorithm>

namespace platform {

namespace {

// A lit lamp: the colour, a lighter centre and a dark rim that reads on any
// background.
class Light : public QWidget {
public:
    explicit Light(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    std::int32_t color = 0xFFFFFF;

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const int d = std::min(width(), height()) - 2;
        const QRectF light((width() - d) / 2.0, (height() - d) / 2.0, d, d);
        const QColor fill = qt::FromBgr(color);
        QRadialGradient glow(light.center() - QPointF(d / 6.0, d / 6.0), d / 1.6);
        glow.setColorAt(0, fill.lighter(160));
        glow.setColorAt(1, fill);
        painter.setBrush(glow);
        painter.setPen(QPen(QColor(0, 0, 0, 160), 1));
        painter.drawEllipse(light);
    }
};

Light* Widget(const Control& control) {
    return static_cast<Light*>(control.Internals().widget);
}

// A light is a picture to a screen reader; its name tells its state.
QAccessibleInterface* LightAccessible(const QString& /*key*/, QObject* object) {
    if (auto* light = dynamic_cast<Light*>(object)) {
        return new QAccessibleWidget(light, QAccessible::Graphic);
    }
    return nullptr;
}

} // namespace

Shape::Shape(Form& owner)
    : Control(owner, std::make_unique<Impl>(new Light(owner.Internals().client))) {
    static const bool installed = [] {
        QAccessible::installFactory(LightAccessible);
        return true;
    }();
    (void)installed;
}

std::int32_t Shape::FillColor() const {
    return Widget(*this)->color;
}

void Shape::SetFillColor(std::int32_t bgr) {
    Widget(*this)->color = bgr;
    Widget(*this)->update();
}

int Shape::Top() const {
    return TwipsY(Widget(*this)->y());
}

void Shape::SetTop(int twips) {
    Widget(*this)->move(Widget(*this)->x(), PixelsY(twips));
}

} // namespace platform
