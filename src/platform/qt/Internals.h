#pragma once

// This backend's side of windows, elements and menus: each is a Qt object
// that notifies the program's object it stands for.

#include "platform/common/gui_core.h"
#include "platform/gui/Control.h"
#include "platform/gui/Form.h"
#include "platform/gui/Menu.h"
#include "platform/gui/MenuItem.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>

#include <memory>
#include <optional>
#include <vector>

class QEventLoop;
class QKeyEvent;
class QMouseEvent;
class QScrollArea;
class QPainter;

namespace platform {

namespace qt {

// The window: a QMainWindow whose central widget is the client area.
class FormWindow : public QMainWindow {
public:
    explicit FormWindow(Form& form);

protected:
    // Closing the window from the desktop unloads it, as on Windows.
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void PlaceOverOwner();
    // Hands the key to the window's KeyDown first: true when that kept it.
    bool PreviewKey(QKeyEvent& event);

    Form& m_form;
};

} // namespace qt

struct Form::Impl : core::FormCore {
    explicit Impl(Form& form);
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    // A window with a client area of a fixed size that would not fit the
    // available area of its screen is made to fit, its client area scrolling.
    void FitScreen();

    qt::FormWindow* window;
    QWidget* client;
    // Set by SetFixedClientSize, in pixels.
    QSize fixedClient;
    QScrollArea* scroller = nullptr;
    // Where the window was when last hidden, to show it there again.
    std::optional<QPoint> hiddenAt;
    HWND hWnd;
    QEventLoop* modalLoop = nullptr;
    // Frees the window once the stack has unwound after its unload.
    QPointer<QObject> reaper;
};

struct Control::Impl {
    explicit Impl(QWidget* shown) : widget(shown) {}
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    // Owned; freed before the window it lies on.
    QWidget* const widget;
};

struct Menu::Impl {
    explicit Impl(QMenu* shown) : menu(shown) {}
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    QMenu* const menu;
    std::vector<std::unique_ptr<MenuItem>> items;
};

struct MenuItem::Impl {
    explicit Impl(QAction* shown) : action(shown) {}
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    QAction* const action;
};

namespace qt {

// Makes the item whose action this is, owned by owner's list.
MenuItem* AddItem(std::vector<std::unique_ptr<MenuItem>>& owner, QAction* action);

// The keyboard's mark around a rectangle: a dashed ring of black on white,
// two pixels wide, that reads on any background.
void DrawFocusMark(QPainter& painter, const QRect& around);

// Hands an element's press or release to its handler: the button that
// changed, the shift state, and the position in twips.
void RaiseMouseEvent(const MouseHandler& handler, const QMouseEvent& event);

} // namespace qt

} // namespace platform
