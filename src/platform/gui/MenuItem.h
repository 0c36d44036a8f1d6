#pragma once

#include "platform/gui/window.h"

#include <functional>
#include <memory>
#include <string>

namespace platform {

// An item of a menu or of the menu bar, made by Menu::Add or
// Form::AddMenuBarItem and owned by what made it. The caption "-" makes a
// separator.
class MenuItem : public IMenuItem {
public:
    struct Impl;
    explicit MenuItem(std::unique_ptr<Impl> impl);
    ~MenuItem() override;
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;

    std::string Caption() const;
    void SetCaption(const std::string& caption);
    bool Visible() const;
    void SetVisible(bool visible);

    std::function<void()> Click;

    Impl& Internals() const { return *m_p; }

private:
    std::unique_ptr<Impl> m_p;
};

} // namespace platform
