#pragma once

#include <QWidget>

#include <cstdint>
#include <string>

namespace platform::qt {

// A filled shape: here a round light, drawn within its rectangle.
class Shape : public QWidget {
public:
    explicit Shape(QWidget* parent);

    std::int32_t FillColor() const { return m_lFillColor; }
    void SetFillColor(std::int32_t bgr);
    bool Visible() const { return !isHidden(); }
    void SetVisible(bool visible) { setVisible(visible); }
    // The top edge in twips.
    int Top() const;
    void SetTop(int twips);
    const std::string& Tag() const { return m_sTag; }
    void SetTag(const std::string& tag) { m_sTag = tag; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::int32_t m_lFillColor = 0xFFFFFF;
    std::string m_sTag;
};

} // namespace platform::qt
