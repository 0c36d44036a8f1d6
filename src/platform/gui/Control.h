#pragma once

// What every element of a window has: a place, a visibility and a tooltip.
// An element is made with new on its window, which owns it from then on and
// frees it with itself; it is visible from the start.

#include <memory>
#include <string>

namespace platform {

class Form;

class Control {
public:
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // Places the element on its window's client area: a rectangle in twips.
    void Move(int left, int top, int width, int height);
    // Its own visibility, whether or not its window is shown.
    bool Visible() const;
    void SetVisible(bool visible);
    std::string ToolTipText() const;
    void SetToolTipText(const std::string& text);
    // What a screen reader says of the element; a change is announced.
    std::string AccessibleName() const;
    void SetAccessibleName(const std::string& name);

    // The window system's side of the element.
    struct Impl;
    Impl& Internals() const { return *m_p; }

protected:
    Control(Form& owner, std::unique_ptr<Impl> impl);

private:
    std::unique_ptr<Impl> m_p;
};

} // namespace platform
