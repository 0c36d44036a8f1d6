#include "platform/Label.h"

#include "platform/qt/Font.h"
#include "platform/qt/Internals.h"
#include "platform/qt/Twips.h"

#include <QLabel>
#include <QPainter>

namespace platform {

namespace {

class MarkedLabel : public QLabel {
public:
    using QLabel::QLabel;

    bool mark = false;

protected:
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
        if (mark) {
            QPainter painter(this);
            qt::DrawFocusMark(painter, rect().adjusted(2, 2, -2, -2));
        }
    }
};

MarkedLabel* Widget(const Control& control) {
    return static_cast<MarkedLabel*>(control.Internals().widget);
}

QLabel* NewLabel(Form& owner) {
    auto* label = new MarkedLabel(owner.Internals().client);
    label->setAutoFillBackground(false);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

Label::Label(Form& owner) : Control(owner, std::make_unique<Impl>(NewLabel(owner))) {}

std::string Label::Caption() const {
    return Widget(*this)->text().toStdString();
}

void Label::SetCaption(const std::string& caption) {
    Widget(*this)->setText(QString::fromStdString(caption));
}

std::int32_t Label::ForeColor() const {
    return qt::ToBgr(Widget(*this)->palette().color(QPalette::WindowText));
}

void Label::SetForeColor(std::int32_t bgr) {
    QPalette p = Widget(*this)->palette();
    p.setColor(QPalette::WindowText, qt::FromBgr(bgr));
    Widget(*this)->setPalette(p);
}

void Label::SetFont(const Font& font) {
    Widget(*this)->setFont(qt::ToQFont(font));
}

void Label::SetCentredVertically(bool centred) {
    Widget(*this)->setAlignment(Qt::AlignLeft | (centred ? Qt::AlignVCenter : Qt::AlignTop));
}

bool Label::FocusMark() const {
    return Widget(*this)->mark;
}

void Label::SetFocusMark(bool shown) {
    Widget(*this)->mark = shown;
    Widget(*this)->update();
}

} // namespace platform
