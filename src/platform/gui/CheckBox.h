#pragma once

#include "platform/gui/Control.h"

namespace platform {

// A check box without a caption.
class CheckBox : public Control {
public:
    explicit CheckBox(Form& owner);

    // 0 clear, 1 ticked.
    int Value() const;
    void SetValue(int value);
};

} // namespace platform
