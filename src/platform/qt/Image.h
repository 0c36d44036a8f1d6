#pragma once

#include <QWidget>

#include <functional>

namespace platform::qt {

// An image without a picture: an invisible surface that takes the mouse.
class Image : public QWidget {
public:
    explicit Image(QWidget* parent) : QWidget(parent) { show(); }

    // To the front of the windowless elements (labels, shapes, lines, other
    // images); buttons, text and check boxes stay above it, as on Windows.
    void ZOrder();

    // Button (1 left, 2 right, 4 middle), shift state, x and y in twips.
    std::function<void(int button, int shift, float x, float y)> MouseDown;

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

} // namespace platform::qt
