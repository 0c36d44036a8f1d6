#pragma once

#include "platform/gui/Control.h"
#include "platform/gui/window.h"

#include <functional>
#include <string>

namespace platform {

// A command button.
class Button : public Control {
public:
    explicit Button(Form& owner);

    std::string Caption() const;
    void SetCaption(const std::string& caption);
    void SetFocus();

    std::function<void()> Click;
    std::function<void()> GotFocus;
    // The button released, x and y in twips.
    MouseHandler MouseUp;
};

} // namespace platform
