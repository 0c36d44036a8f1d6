// Menus: Windows' menus have no hidden items, so a menu is built from its
// visible items whenever it is shown (a popup) or changes (the menu bar).

#include "platform/gui/Menu.h"

#include "platform/win32/gui/Internals.h"

namespace platform {

MenuItem::MenuItem(std::unique_ptr<Impl> impl) : m_p(std::move(impl)) {}

MenuItem::~MenuItem() = default;

std::string MenuItem::Caption() const {
    return m_p->caption;
}

void MenuItem::SetCaption(const std::string& caption) {
    m_p->caption = caption;
    if (m_p->onChange) {
        m_p->onChange();
    }
}

bool MenuItem::Visible() const {
    return m_p->visible;
}

void MenuItem::SetVisible(bool visible) {
    if (m_p->visible != visible) {
        m_p->visible = visible;
        if (m_p->onChange) {
            m_p->onChange();
        }
    }
}

Menu::Menu(Form& owner) : m_p(std::make_unique<Impl>()) {
    owner.Internals().menus.emplace_back(this);
}

Menu::~Menu() = default;

MenuItem* Menu::Add(const std::string& caption) {
    static UINT next = 30000;
    m_p->items.push_back(
        std::make_unique<MenuItem>(std::make_unique<MenuItem::Impl>(caption, nullptr)));
    m_p->items.back()->Internals().id = ++next;
    return m_p->items.back().get();
}

void Menu::SetAccessibleName(const std::string& name) {
    m_p->accessibleName = name;
}

} // namespace platform
