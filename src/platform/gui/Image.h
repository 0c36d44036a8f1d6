#pragma once

#include "platform/gui/Control.h"
#include "platform/gui/window.h"

namespace platform {

// An image without a picture: an invisible surface that takes the mouse.
class Image : public Control {
public:
    explicit Image(Form& owner);

    // To the front of the windowless elements (labels, shapes, lines, other
    // images); buttons, text and check boxes stay above it, as on Windows.
    void ZOrder();

    // A button pressed on it, x and y in twips.
    MouseHandler MouseDown;
};

} // namespace platform
