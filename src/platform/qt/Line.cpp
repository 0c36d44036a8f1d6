#include "platform/qt/Line.h"

#include "platform/qt/Twips.h"

#include <QPainter>

#include <algorithm>

namespace platform::qt {

Line::Line(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    show();
}

void Line::SetPoints(int x1, int y1, int x2, int y2) {
    const QPoint a(PixelsX(x1), PixelsY(y1));
    const QPoint b(PixelsX(x2), PixelsY(y2));
    const QPoint topLeft(std::min(a.x(), b.x()), std::min(a.y(), b.y()));
    setGeometry(QRect(topLeft, QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y()))));
    m_from = a - topLeft;
    m_to = b - topLeft;
    update();
}

void Line::SetBorderColor(std::int32_t bgr) {
    m_lBorderColor = bgr;
    update();
}

void Line::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setPen(FromBgr(m_lBorderColor));
    painter.drawLine(m_from, m_to);
}

} // namespace platform::qt
