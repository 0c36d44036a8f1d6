#pragma once

#include <QPushButton>

#include <functional>
#include <string>

namespace platform::qt {

class Button : public QPushButton {
public:
    explicit Button(QWidget* parent);

    bool Visible() const { return !isHidden(); }
    void SetVisible(bool visible) { setVisible(visible); }
    std::string ToolTipText() const { return toolTip().toStdString(); }
    void SetToolTipText(const std::string& text) { setToolTip(QString::fromStdString(text)); }
    void SetFocus() { setFocus(Qt::OtherFocusReason); }

    std::function<void()> GotFocus;
    // Button (1 left, 2 right, 4 middle), shift state, x and y in twips.
    std::function<void(int button, int shift, float x, float y)> MouseUp;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace platform::qt
