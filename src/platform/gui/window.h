#pragma once

// What classes without a window system of their own (the tray class) ask of
// a window and its menus: Form, Menu and MenuItem implement these, and tests
// of such a class fake them.

#include "platform/win32_types.h"

#include <functional>

namespace platform {

class IMenuItem {
public:
    virtual ~IMenuItem() = default;
};

class IMenu {
public:
    virtual ~IMenu() = default;
};

// A mouse notification: the button (1 left, 2 right, 4 middle), the shift
// state (1 Shift, 2 Ctrl, 4 Alt), and x and y in the window's coordinate unit.
using MouseHandler = std::function<void(int button, int shift, float x, float y)>;

class IWindow {
public:
    virtual ~IWindow() = default;
    virtual HWND hWnd() const = 0;
    // 3: coordinates in pixels; anything else: twips.
    virtual int ScaleMode() const = 0;
    // The screen's twips per pixel across (15 at 96 DPI).
    virtual double TwipsPerPixelX() const = 0;
    virtual void SetWindowState(int state) = 0;
    virtual void Show() = 0;
    virtual bool Visible() const = 0;
    // Pops the menu up at the pointer, with defaultItem (if any) as its
    // default entry; returns when it has closed.
    virtual void PopupMenu(IMenu& menu, IMenuItem* defaultItem) = 0;
    // The same at (x, y) in the window's coordinate unit.
    virtual void PopupMenuAt(IMenu& menu, IMenuItem* defaultItem, float x, float y) = 0;
    // The window's mouse-move notification, for one outside subscriber at a
    // time; an empty handler ends the subscription.
    virtual void SubscribeMouseMove(MouseHandler handler) = 0;
};

} // namespace platform
