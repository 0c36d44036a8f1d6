#include "platform/qt/Label.h"

#include "platform/qt/Twips.h"

namespace platform::qt {

Label::Label(QWidget* parent) : QLabel(parent) {
    show();
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextFormat(Qt::PlainText);
}

std::int32_t Label::ForeColor() const {
    return ToBgr(palette().color(QPalette::WindowText));
}

void Label::SetForeColor(std::int32_t bgr) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, FromBgr(bgr));
    setPalette(p);
}

} // namespace platform::qt
