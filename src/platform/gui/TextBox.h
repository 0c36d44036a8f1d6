#pragma once

#include "platform/gui/Control.h"

#include <string>

namespace platform {

// A one-line text box.
class TextBox : public Control {
public:
    explicit TextBox(Form& owner);

    std::string Text() const;
    void SetText(const std::string& text);
};

} // namespace platform
