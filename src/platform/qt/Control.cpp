#include "platform/gui/Control.h"

#include "platform/qt/Internals.h"
#include "platform/qt/Twips.h"

#include <QWidget>

namespace platform {

Control::Impl::~Impl() {
    delete widget;
}

Control::Control(Form& owner, std::unique_ptr<Impl> impl) : m_p(std::move(impl)) {
    owner.Internals().controls.emplace_back(this);
    // The window hears every key first.
    m_p->widget->installEventFilter(owner.Internals().window);
    m_p->widget->show();
}

Control::~Control() = default;

void Control::Move(int left, int top, int width, int height) {
    qt::PlaceTwips(m_p->widget, left, top, width, height);
}

bool Control::Visible() const {
    return !m_p->widget->isHidden();
}

void Control::SetVisible(bool visible) {
    m_p->widget->setVisible(visible);
}

std::string Control::ToolTipText() const {
    return m_p->widget->toolTip().toStdString();
}

void Control::SetToolTipText(const std::string& text) {
    m_p->widget->setToolTip(QString::fromStdString(text));
}

std::string Control::AccessibleName() const {
    return m_p->widget->accessibleName().toStdString();
}

void Control::SetAccessibleName(const std::string& name) {
    // Qt announces the change itself (a NameChanged event).
    m_p->widget->setAccessibleName(QString::fromStdString(name));
}

} // namespace platform
