#pragma once

#include "platform/gui/Control.h"
#include "platform/gui/Font.h"

#include <cstdint>
#include <string>

namespace platform {

// A caption, a tag the program keeps with it, and a text colour. A label has
// no background of its own, so the window's colour shows through, and it
// takes no mouse input.
class Label : public Control {
public:
    explicit Label(Form& owner);

    std::string Caption() const;
    void SetCaption(const std::string& caption);
    const std::string& Tag() const { return m_sTag; }
    void SetTag(const std::string& tag) { m_sTag = tag; }
    std::int32_t ForeColor() const;
    void SetForeColor(std::int32_t bgr);
    // Without one, the window's font.
    void SetFont(const Font& font);
    // The caption centred in the label's height rather than at its top.
    void SetCentredVertically(bool centred);
    // One line, and a caption too long for it ends in "…"; Caption() still
    // gives the whole of it.
    void SetElided(bool elided);
    // A dotted frame around the label, as the keyboard focus is marked, in
    // two tones that read on any background: the keyboard's selection.
    bool FocusMark() const;
    void SetFocusMark(bool shown);

private:
    std::string m_sTag;
};

} // namespace platform
