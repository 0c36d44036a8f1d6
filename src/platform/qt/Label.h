#pragma once

#include <QLabel>

#include <cstdint>
#include <string>

namespace platform::qt {

// A label: caption, a tag the program keeps with it, and a text colour. It
// has no background of its own, so the window's colour shows through.
class Label : public QLabel {
public:
    explicit Label(QWidget* parent);

    std::string Caption() const { return text().toStdString(); }
    void SetCaption(const std::string& caption) { setText(QString::fromStdString(caption)); }
    const std::string& Tag() const { return m_sTag; }
    void SetTag(const std::string& tag) { m_sTag = tag; }
    std::int32_t ForeColor() const;
    void SetForeColor(std::int32_t bgr);

private:
    std::string m_sTag;
};

} // namespace platform::qt
