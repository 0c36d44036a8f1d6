#pragma once

#include <QLineEdit>

#include <string>

namespace platform::qt {

class TextBox : public QLineEdit {
public:
    explicit TextBox(QWidget* parent) : QLineEdit(parent) {
        setProperty("windowed", true);
        show();
    }

    std::string Text() const { return text().toStdString(); }
    void SetText(const std::string& text) { setText(QString::fromStdString(text)); }
    void SetToolTipText(const std::string& text) { setToolTip(QString::fromStdString(text)); }
};

} // namespace platform::qt
