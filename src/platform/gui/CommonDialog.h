#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace platform {

class Form;

// The colour-choice dialog of a window.
class CommonDialog {
public:
    explicit CommonDialog(Form& owner) : m_owner(owner) {}

    void SetDialogTitle(const std::string& title) { m_sDialogTitle = title; }
    std::int32_t Color() const { return m_lColor; }
    void SetColor(std::int32_t bgr) { m_lColor = bgr; }

    // Shows the dialog modally, opening at Color(); true when the user
    // confirmed a colour, which Color() then holds.
    bool ShowColor();

    // Tests answer the dialog themselves: the chooser gets the colour and
    // title the dialog would show and returns the pick, or nothing for Cancel.
    using Chooser =
        std::function<std::optional<std::int32_t>(std::int32_t color, const std::string& title)>;
    static void SetChooser(Chooser chooser);

private:
    Form& m_owner;
    std::string m_sDialogTitle;
    std::int32_t m_lColor = 0;
};

} // namespace platform
