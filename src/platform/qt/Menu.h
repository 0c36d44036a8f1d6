#pragma once

#include "platform/qt/MenuItem.h"
#include "platform/window.h"

#include <QMenu>

#include <string>

namespace platform::qt {

// A menu of items, popped up at the pointer.
class Menu : public QMenu, public IMenu {
public:
    explicit Menu(QWidget* parent) : QMenu(parent) {}

    // A new item at the end; "-" makes a separator.
    MenuItem* Add(const std::string& caption);

    // Shows the menu at the pointer and returns when it has closed (after
    // the chosen item's Click has run). defaultItem, if given, is shown as
    // the default entry.
    void Popup(MenuItem* defaultItem = nullptr);
    // The same, at a point of the screen.
    void Popup(MenuItem* defaultItem, const QPoint& at);
};

} // namespace platform::qt
