#include "platform/gui/Line.h"

#include "platform/gui/Twips.h"
#include "platform/qt/Internals.h"
#include "platform/qt/Twips.h"

#include <QPainter>
#include <QWidget>

#include <algorithm>

namespace platform {

namespace {

class LineWidget : public QWidget {
public:
    explicit LineWidget(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    QPoint from;
    QPoint to;
    std::int32_t color = 0;

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setPen(qt::FromBgr(color));
        painter.drawLine(from, to);
    }
};

LineWidget* Widget(const Control& control) {
    return static_cast<LineWidget*>(control.Internals().widget);
}

} // namespace

Line::Line(Form& owner)
    : Control(owner, std::make_unique<Impl>(new LineWidget(owner.Internals().client))) {}

void Line::SetPoints(int x1, int y1, int x2, int y2) {
    LineWidget* line = Widget(*this);
    const QPoint a(PixelsX(x1), PixelsY(y1));
    const QPoint b(PixelsX(x2), PixelsY(y2));
    const QPoint topLeft(std::min(a.x(), b.x()), std::min(a.y(), b.y()));
    line->setGeometry(QRect(topLeft, QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y()))));
    line->from = a - topLeft;
    line->to = b - topLeft;
    line->update();
}

std::int32_t Line::BorderColor() const {
    return Widget(*this)->color;
}

void Line::SetBorderColor(std::int32_t bgr) {
    Widget(*this)->color = bgr;
    Widget(*this)->update();
}

} // namespace platform
