#pragma once

#include <QCheckBox>

#include <string>

namespace platform::qt {

class CheckBox : public QCheckBox {
public:
    explicit CheckBox(QWidget* parent) : QCheckBox(parent) {
        setProperty("windowed", true);
        show();
    }

    // 0 unticked, 1 ticked.
    int Value() const { return isChecked() ? 1 : 0; }
    void SetValue(int value) { setChecked(value == 1); }
    void SetToolTipText(const std::string& text) { setToolTip(QString::fromStdString(text)); }
};

} // namespace platform::qt
