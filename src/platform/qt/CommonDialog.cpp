#include "platform/common/gui_core.h"
#include "platform/qt/Internals.h"
#include "platform/qt/NestedLoop.h"
#include "platform/qt/Twips.h"

#include <QColorDialog>

namespace platform::core {

std::optional<std::int32_t> PickColor(Form& owner, std::int32_t color, const std::string& title) {
    const qt::NestedLoop nested;
    const QColor picked = QColorDialog::getColor(qt::FromBgr(color), owner.Internals().window,
                                                 QString::fromStdString(title));
    if (!picked.isValid()) {
        return std::nullopt;
    }
    return qt::ToBgr(picked);
}

} // namespace platform::core
