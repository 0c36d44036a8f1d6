#include "platform/qt/Shape.h"

#include "platform/qt/Twips.h"

#include <QPainter>

#include <algorithm>

namespace platform::qt {

Shape::Shape(QWidget* parent) : QWidget(parent) {
    show();
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Shape::SetFillColor(std::int32_t bgr) {
    m_lFillColor = bgr;
    update();
}

int Shape::Top() const {
    return TwipsY(y());
}

void Shape::SetTop(int twips) {
    move(x(), PixelsY(twips));
}

void Shape::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int d = std::min(width(), height()) - 2;
    const QRectF light((width() - d) / 2.0, (height() - d) / 2.0, d, d);
    const QColor fill = FromBgr(m_lFillColor);
    // A lit lamp: the colour, a lighter centre and a dark rim that reads on
    // any background.
    QRadialGradient glow(light.center() - QPointF(d / 6.0, d / 6.0), d / 1.6);
    glow.setColorAt(0, fill.lighter(160));
    glow.setColorAt(1, fill);
    painter.setBrush(glow);
    painter.setPen(QPen(QColor(0, 0, 0, 160), 1));
    painter.drawEllipse(light);
}

} // namespace platform::qt
