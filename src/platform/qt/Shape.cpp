#include "platform/gui/Shape.h"

#include "platform/gui/Twips.h"
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
    LightMark mark = LightMark::None;

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
        if (mark == LightMark::None) {
            return;
        }
        // Dark on both fills: black stands out more against red and green
        // than white does.
        QPen stroke(QColor(0, 0, 0, 230), std::max(1.5, d / 7.0));
        stroke.setCapStyle(Qt::RoundCap);
        stroke.setJoinStyle(Qt::RoundJoin);
        painter.setPen(stroke);
        painter.setBrush(Qt::NoBrush);
        const auto at = [&light, d](double x, double y) {
            return light.topLeft() + QPointF(x * d, y * d);
        };
        if (mark == LightMark::Tick) {
            const QPointF tick[] = {at(0.27, 0.52), at(0.44, 0.69), at(0.74, 0.33)};
            painter.drawPolyline(tick, 3);
        } else {
            painter.drawLine(at(0.32, 0.32), at(0.68, 0.68));
            painter.drawLine(at(0.68, 0.32), at(0.32, 0.68));
        }
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

LightMark Shape::Mark() const {
    return Widget(*this)->mark;
}

void Shape::SetMark(LightMark mark) {
    if (Widget(*this)->mark != mark) {
        Widget(*this)->mark = mark;
        Widget(*this)->update();
    }
}

int Shape::Top() const {
    return TwipsY(Widget(*this)->y());
}

void Shape::SetTop(int twips) {
    Widget(*this)->move(Widget(*this)->x(), PixelsY(twips));
}

} // namespace platform
