#include "platform/gui/Label.h"

#include "platform/qt/Font.h"
#include "platform/qt/Internals.h"
#include "platform/qt/Twips.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>

namespace platform {

namespace {

// Shows its caption whole, or, elided, as much of it as its width takes.
class CaptionLabel : public QLabel {
public:
    explicit CaptionLabel(QWidget* parent) : QLabel(parent) {}

    const QString& Caption() const { return m_caption; }
    void SetCaption(const QString& caption) {
        m_caption = caption;
        Fit();
    }
    void SetElided(bool elided) {
        m_elided = elided;
        Fit();
    }

    // The keyboard's selection.
    bool mark = false;

protected:
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
        if (mark) {
            QPainter painter(this);
            qt::DrawFocusMark(painter, rect().adjusted(2, 2, -2, -2));
        }
    }
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        Fit();
    }
    void changeEvent(QEvent* event) override {
        QLabel::changeEvent(event);
        if (event->type() == QEvent::FontChange) {
            Fit();
        }
    }

private:
    void Fit() {
        const QString shown =
            m_elided ? fontMetrics().elidedText(m_caption, Qt::ElideRight, contentsRect().width())
                     : m_caption;
        if (text() != shown) {
            setText(shown);
            // A screen reader reads the whole name, not the cut one.
            setAccessibleName(shown == m_caption ? QString() : m_caption);
        }
    }

    QString m_caption;
    bool m_elided = false;
};

CaptionLabel* Widget(const Control& control) {
    return static_cast<CaptionLabel*>(control.Internals().widget);
}

QLabel* NewLabel(Form& owner) {
    auto* label = new CaptionLabel(owner.Internals().client);
    label->setAutoFillBackground(false);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

Label::Label(Form& owner) : Control(owner, std::make_unique<Impl>(NewLabel(owner))) {}

std::string Label::Caption() const {
    return Widget(*this)->Caption().toStdString();
}

void Label::SetCaption(const std::string& caption) {
    Widget(*this)->SetCaption(QString::fromStdString(caption));
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

void Label::SetElided(bool elided) {
    Widget(*this)->SetElided(elided);
}

bool Label::FocusMark() const {
    return Widget(*this)->mark;
}

void Label::SetFocusMark(bool shown) {
    Widget(*this)->mark = shown;
    Widget(*this)->update();
}

} // namespace platform
