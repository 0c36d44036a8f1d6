#include "platform/gui/Menu.h"

#include "platform/gui/MenuItem.h"
#include "platform/qt/Internals.h"

#include <QAction>
#include <QMenu>

namespace platform {

MenuItem::Impl::~Impl() {
    delete action;
}

MenuItem::MenuItem(std::unique_ptr<Impl> impl) : m_p(std::move(impl)) {
    if (m_p->action->text() == QLatin1String("-")) {
        // A separator with a text is a section heading to some styles, which
        // would draw the "-" at its left end.
        m_p->action->setSeparator(true);
        m_p->action->setText(QString());
    }
    QObject::connect(m_p->action, &QAction::triggered, m_p->action, [this] {
        if (Click) {
            Click();
        }
    });
}

MenuItem::~MenuItem() = default;

std::string MenuItem::Caption() const {
    return m_p->action->isSeparator() ? "-" : m_p->action->text().toStdString();
}

void MenuItem::SetCaption(const std::string& caption) {
    m_p->action->setText(QString::fromStdString(caption));
}

bool MenuItem::Visible() const {
    return m_p->action->isVisible();
}

void MenuItem::SetVisible(bool visible) {
    m_p->action->setVisible(visible);
}

Menu::Impl::~Impl() {
    items.clear();
    delete menu;
}

Menu::Menu(Form& owner) : m_p(std::make_unique<Impl>(new QMenu(owner.Internals().window))) {
    owner.Internals().menus.emplace_back(this);
}

Menu::~Menu() = default;

MenuItem* Menu::Add(const std::string& caption) {
    auto* action = new QAction(QString::fromStdString(caption), m_p->menu);
    m_p->menu->addAction(action);
    return qt::AddItem(m_p->items, action);
}

void Menu::SetAccessibleName(const std::string& name) {
    m_p->menu->setAccessibleName(QString::fromStdString(name));
}

namespace qt {

MenuItem* AddItem(std::vector<std::unique_ptr<MenuItem>>& owner, QAction* action) {
    owner.push_back(std::make_unique<MenuItem>(std::make_unique<MenuItem::Impl>(action)));
    return owner.back().get();
}

} // namespace qt

} // namespace platform
