#pragma once

// The Qt objects behind windows, elements and menus, for tests of windows:
// they look at them and click them as a user would.

#include <QMainWindow>
#include <QPointer>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace platform {
class Button;
class CheckBox;
class Control;
class Form;
class Label;
class Menu;
class MenuItem;
class TextBox;
} // namespace platform

namespace platform::qt {

QMainWindow* WindowOf(const Form* form);
// Where the window's elements lie, below its menu bar.
QWidget* ClientOf(const Form* form);
QWidget* WidgetOf(const Control* control);
QPushButton* WidgetOf(const Button* button);
QCheckBox* WidgetOf(const CheckBox* box);
QLabel* WidgetOf(const Label* label);
QLineEdit* WidgetOf(const TextBox* box);
QMenu* MenuOf(const Menu* menu);
QAction* ActionOf(const MenuItem* item);

// A window that reads as null once the window system has freed it.
template <typename T> class FormPointer {
public:
    FormPointer() = default;
    FormPointer(T* form) : m_form(form), m_window(form != nullptr ? WindowOf(form) : nullptr) {}
    T* data() const { return m_window.isNull() ? nullptr : m_form; }
    T* operator->() const { return data(); }
    bool isNull() const { return m_window.isNull(); }

private:
    T* m_form = nullptr;
    QPointer<QMainWindow> m_window;
};

} // namespace platform::qt
