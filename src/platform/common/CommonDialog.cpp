#include "platform/gui/CommonDialog.h"

#include "platform/common/gui_core.h"

namespace platform {

namespace {

CommonDialog::Chooser& CurrentChooser() {
    static CommonDialog::Chooser chooser;
    return chooser;
}

} // namespace

void CommonDialog::SetChooser(Chooser chooser) {
    CurrentChooser() = std::move(chooser);
}

bool CommonDialog::ShowColor() {
    const std::optional<std::int32_t> picked =
        CurrentChooser() ? CurrentChooser()(m_lColor, m_sDialogTitle)
                         : core::PickColor(m_owner, m_lColor, m_sDialogTitle);
    if (picked) {
        m_lColor = *picked;
    }
    return picked.has_value();
}

} // namespace platform
