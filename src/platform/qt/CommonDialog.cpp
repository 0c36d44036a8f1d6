#include "platform/gui/CommonDialog.h"

#include "platform/qt/Internals.h"
#include "platform/qt/NestedLoop.h"
#include "platform/qt/Twips.h"

#include <QColorDialog>

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
    std::optional<std::int32_t> picked;
    if (CurrentChooser()) {
        picked = CurrentChooser()(m_lColor, m_sDialogTitle);
    } else {
        const qt::NestedLoop nested;
        const QColor color =
            QColorDialog::getColor(qt::FromBgr(m_lColor), m_owner.Internals().window,
                                   QString::fromStdString(m_sDialogTitle));
        if (color.isValid()) {
            picked = qt::ToBgr(color);
        }
    }
    if (picked) {
        m_lColor = *picked;
    }
    return picked.has_value();
}

} // namespace platform
