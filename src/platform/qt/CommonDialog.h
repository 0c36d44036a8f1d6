#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class QWidget;

namespace platform::qt {

// The colour-choice dialog.
class CommonDialog {
public:
    explicit CommonDialog(QWidget* owner) : m_owner(owner) {}

    void SetDialogTitle(const QString& title) { m_title = title; }
    std::int32_t Color() const { return m_lColor; }
    void SetColor(std::int32_t bgr) { m_lColor = bgr; }

    // Shows the dialog modally; true when the user confirmed a colour, which
    // Color() then holds.
    bool ShowColor();

    // Tests answer the dialog themselves: the chooser gets the colour and
    // title the dialog would show and returns the pick, or nothing for Cancel.
    using Chooser =
        std::function<std::optional<std::int32_t>(std::int32_t color, const QString& title)>;
    static void SetChooser(Chooser chooser);

private:
    QWidget* m_owner;
    QString m_title;
    std::int32_t m_lColor = 0;
};

} // namespace platform::qt
