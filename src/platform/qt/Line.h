#pragma once

#include <QWidget>

#include <cstdint>

namespace platform::qt {

// A straight line between two points given in twips.
class Line : public QWidget {
public:
    explicit Line(QWidget* parent);

    void SetPoints(int x1, int y1, int x2, int y2);
    std::int32_t BorderColor() const { return m_lBorderColor; }
    void SetBorderColor(std::int32_t bgr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPoint m_from;
    QPoint m_to;
    std::int32_t m_lBorderColor = 0;
};

} // namespace platform::qt
