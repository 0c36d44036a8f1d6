#include "platform/qt/Widgets.h"

#include "platform/gui/Button.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/Label.h"
#include "platform/gui/TextBox.h"
#include "platform/qt/Internals.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace platform::qt {

QMainWindow* WindowOf(const Form* form) {
    return form->Internals().window;
}

QWidget* ClientOf(const Form* form) {
    return form->Internals().client;
}

QWidget* WidgetOf(const Control* control) {
    return control->Internals().widget;
}

QPushButton* WidgetOf(const Button* button) {
    return static_cast<QPushButton*>(WidgetOf(static_cast<const Control*>(button)));
}

QCheckBox* WidgetOf(const CheckBox* box) {
    return static_cast<QCheckBox*>(WidgetOf(static_cast<const Control*>(box)));
}

QLabel* WidgetOf(const Label* label) {
    return static_cast<QLabel*>(WidgetOf(static_cast<const Control*>(label)));
}

QLineEdit* WidgetOf(const TextBox* box) {
    return static_cast<QLineEdit*>(WidgetOf(static_cast<const Control*>(box)));
}

QMenu* MenuOf(const Menu* menu) {
    return menu->Internals().menu;
}

QAction* ActionOf(const MenuItem* item) {
    return item->Internals().action;
}

} // namespace platform::qt
