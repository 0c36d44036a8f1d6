#include "platform/qt/CommonDialog.h"

#include "platform/qt/NestedLoop.h"
#include "platform/qt/Twips.h"

#include <QColorDialog>

namespace platform::qt {

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
    std::optional<std::int32_t> picked;
    if (CurrentChooser()) {
        picked = CurrentChooser()(m_lColor, m_title);
    } else {
        const NestedLoop nested;
        const QColor color = QColorDialog::getColor(FromBgr(m_lColor), m_owner, m_title);
        if (color.isValid()) {
            picked = ToBgr(color);
        }
    }
    if (picked) {
        m_lColor = *picked;
    }
    return picked.has_value();
}

} // namespace platform::qt
