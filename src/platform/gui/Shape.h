#pragma once

#include "platform/gui/Control.h"

#include <cstdint>
#include <string>

namespace platform {

// A second cue inside a light besides its colour, for eyes that cannot tell
// red from green.
enum class LightMark { None, Tick, Cross };

// A filled shape: here a round light, drawn within its rectangle, with a tag
// the program keeps with it. It takes no mouse input.
class Shape : public Control {
public:
    explicit Shape(Form& owner);

    std::int32_t FillColor() const;
    void SetFillColor(std::int32_t bgr);
    // Drawn in a dark stroke over the fill, which keeps its colour.
    LightMark Mark() const;
    void SetMark(LightMark mark);
    // The top edge in twips.
    int Top() const;
    void SetTop(int twips);
    const std::string& Tag() const { return m_sTag; }
    void SetTag(const std::string& tag) { m_sTag = tag; }

private:
    std::string m_sTag;
};

} // namespace platform
