#pragma once

#include "platform/gui/window.h"

#include <memory>
#include <string>

namespace platform {

class Form;
class MenuItem;

// A menu that is never shown in the menu bar, only popped up (Form::PopupMenu).
// Made with new on its window, which owns it and frees it with itself.
class Menu : public IMenu {
public:
    explicit Menu(Form& owner);
    ~Menu() override;
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    // A new item at the end, owned by the menu; "-" makes a separator.
    MenuItem* Add(const std::string& caption);
    // What a screen reader calls the menu when it opens.
    void SetAccessibleName(const std::string& name);

    struct Impl;
    Impl& Internals() const { return *m_p; }

private:
    std::unique_ptr<Impl> m_p;
};

} // namespace platform
