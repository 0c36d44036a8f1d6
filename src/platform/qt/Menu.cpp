#include "platform/qt/Menu.h"

#include "platform/qt/NestedLoop.h"

#include <QCursor>

namespace platform::qt {

MenuItem::MenuItem(const std::string& caption, QObject* parent)
    : QAction(QString::fromStdString(caption), parent) {
    setSeparator(caption == "-");
    QObject::connect(this, &QAction::triggered, this, [this] {
        if (Click) {
            Click();
        }
    });
}

MenuItem* Menu::Add(const std::string& caption) {
    auto* item = new MenuItem(caption, this);
    addAction(item);
    return item;
}

void Menu::Popup(MenuItem* defaultItem) {
    Popup(defaultItem, QCursor::pos());
}

void Menu::Popup(MenuItem* defaultItem, const QPoint& at) {
    setDefaultAction(defaultItem);
    {
        const NestedLoop nested;
        exec(at);
    }
    setDefaultAction(nullptr);
}

} // namespace platform::qt
