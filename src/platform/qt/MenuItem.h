#pragma once

#include "platform/window.h"

#include <QAction>

#include <functional>
#include <string>

namespace platform::qt {

class MenuItem : public QAction, public IMenuItem {
public:
    MenuItem(const std::string& caption, QObject* parent);

    std::string Caption() const { return text().toStdString(); }
    void SetCaption(const std::string& caption) { setText(QString::fromStdString(caption)); }
    bool Visible() const { return isVisible(); }
    void SetVisible(bool visible) { setVisible(visible); }

    std::function<void()> Click;
};

} // namespace platform::qt
