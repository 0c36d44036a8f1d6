#pragma once

// This backend's side of windows, elements and menus: each form is a
// top-level window whose own procedure paints the windowless elements
// (labels, lights, lines) and hands the press on the drag surface to the
// program; buttons, check boxes and text boxes are child windows of it.

#include "platform/common/gui_core.h"
#include "platform/gui/App.h"
#include "platform/gui/Button.h"
#include "platform/gui/Capture.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/CommonDialog.h"
#include "platform/gui/Control.h"
#include "platform/gui/Font.h"
#include "platform/gui/Form.h"
#include "platform/gui/Image.h"
#include "platform/gui/Label.h"
#include "platform/gui/Line.h"
#include "platform/gui/Menu.h"
#include "platform/gui/MenuItem.h"
#include "platform/gui/Shape.h"
#include "platform/gui/TextBox.h"
#include "platform/gui/Timer.h"
#include "platform/gui/Twips.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/win32/api.h"
#include "platform/win32/dpi.h"
#include "platform/win32/wide.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#undef SendMessage

struct IAccessible;

namespace platform {

namespace win32 {

// The platform's 32-bit handles and Windows' own: a window handle carries 32
// significant bits, sign-extended.
inline ::HWND NativeWindow(HWND hWnd) {
    return reinterpret_cast<::HWND>(static_cast<std::intptr_t>(hWnd));
}
inline HWND OurWindow(::HWND hWnd) {
    return static_cast<HWND>(reinterpret_cast<std::intptr_t>(hWnd));
}
inline ::HICON NativeIcon(HICON icon) {
    return reinterpret_cast<::HICON>(static_cast<std::intptr_t>(static_cast<std::int32_t>(icon)));
}

inline ::COLORREF Colour(std::int32_t bgr) {
    return static_cast<::COLORREF>(bgr) & 0xFFFFFFu;
}

// A handler may run a loop of its own (a yield, a modal window, a popup
// menu, the colour dialog, the desktop's move of a window), inside which
// another handler may unload a window that the first still uses. An unloaded
// window is freed only by the program's outermost message loop, between two
// messages, when every handler has returned.
void DeleteWhenUnwound(Form* form);
void FreeUnwound();

// Pixels from twips and back at a window's DPI.
int Pixels(int twips, unsigned dpi);
int Twips(int pixels, unsigned dpi);

// The program's icon drawn large (the task switcher's), for its small one;
// any other icon as it is.
::HICON LargeIconFor(HICON icon);

// A font for the window system at a DPI; the desktop's own face when the
// font names none.
::HFONT MakeFont(const Font& font, unsigned dpi);

// What a screen reader calls a window (a form or a child window), and a
// popup menu while it is shown; a menu's name is forgotten before the menu
// is destroyed.
void NameWindow(::HWND hWnd, const std::string& name);
// A form's client area with its painted elements, for WM_GETOBJECT; and
// forgotten as the form goes.
::LRESULT ClientObjectResult(Form::Impl& form, ::WPARAM flags);
void ForgetClientObject(Form::Impl& form);
// Tells readers of a change to an element of a client area (its name, its
// visibility).
void ElementChanged(const Control::Impl& c, ::DWORD event);
void NameMenu(::HMENU menu, const std::string& name);
void ForgetMenu(::HMENU menu);

// The keyboard's mark around a rectangle: two dotted rings, black on white,
// that read on any background.
void DrawFocusMark(::HDC dc, ::RECT around);

// The hidden window that owns the program's first window, which Windows then
// keeps out of the task list unless the window asks for a button.
::HWND HiddenOwner();

// Hands a key message to its form's KeyDown first: true when that kept it.
bool PreviewKey(const ::MSG& msg);

} // namespace win32

// What an element is to its window: a child window, or a rectangle that the
// window paints (and, for the drag surface, takes presses on).
struct Control::Impl {
    enum class Kind { Label, Shape, Line, Image, Button, CheckBox, TextBox };

    Impl(Form& form, Kind what) : owner(form), kind(what) {}
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    // Places the child window (if any) and repaints, at the form's DPI.
    void Place();
    void Repaint() const;
    ::RECT PixelRect() const;

    Form& owner;
    const Kind kind;
    Control* control = nullptr;
    ::HWND child = nullptr;
    // In twips on the client area.
    int left = 0, top = 0, width = 0, height = 0;
    bool visible = true;
    std::string tip;
    std::string caption;
    std::int32_t color = 0;
    bool hasFont = false;
    Font font;
    ::HFONT hFont = nullptr;
    bool centred = false;
    bool elided = false;
    LightMark mark = LightMark::None;
    bool focusMark = false;
    std::string accessibleName;
    // A line's ends, in twips.
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

struct MenuItem::Impl {
    Impl(std::string text, std::function<void()> changed)
        : caption(std::move(text)), onChange(std::move(changed)) {}

    std::string caption;
    bool visible = true;
    UINT id = 0;
    // Rebuilds the menu the item is shown in.
    std::function<void()> onChange;
};

struct Menu::Impl {
    std::vector<std::unique_ptr<MenuItem>> items;
    std::string accessibleName;
};

struct Form::Impl : core::FormCore {
    explicit Impl(Form& form);
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    // The window's DPI (that of the monitor it is on).
    unsigned Dpi() const;
    // The menu bar afresh from its items: a hidden item is left out.
    void RebuildMenuBar();
    // Lays out every element again (a new DPI).
    void PlaceAll();
    void Paint(::HDC dc) const;
    ::LRESULT Procedure(::UINT message, ::WPARAM wParam, ::LPARAM lParam);
    // The shell's message about the window's icon in the notification area,
    // as the mouse-move notification the tray class takes it from.
    void NotifyIconCallback(::UINT reported);
    // The item with this command number, on the menu bar or a menu.
    MenuItem* ItemById(UINT id) const;
    // A menu popped up and the command chosen from it run.
    void Popup(Menu& menu, MenuItem* defaultItem, ::POINT at);
    // Enables the windows a modal show disabled.
    void EnableOthers();
    // Resizes the window so that its client area is this size in pixels.
    void SizeClient(int width, int height);
    int MenuBarHeight() const;
    // A fixed client area that would not fit the work area of the monitor
    // is shown in part, and scrolls.
    void FitWorkArea();
    void ScrollTo(int y);
    void ScrollIntoView(const Control::Impl& c);

    Form& self;
    ::HWND hWnd = nullptr;
    ::HMENU bar = nullptr;
    ::HWND tips = nullptr;
    ::HBRUSH background = nullptr;
    std::int32_t backColor = 0;
    Font font;
    ::HFONT hFont = nullptr;
    bool modal = false;
    // A client area the window keeps, in twips (0: none).
    int fixedClientWidth = 0, fixedClientHeight = 0;
    // How far the client area is scrolled, out of how much, a page of how
    // much, in pixels (a range of 0: it does not scroll).
    int scroll = 0, scrollRange = 0, scrollPage = 0;
    // Whether one of this window's menus is open (TrackPopupMenu).
    bool menuOpen = false;
    // Whether the shell's last message about the icon was the right
    // button's release.
    bool afterTrayRightButtonUp = false;
    // What a screen reader calls the window, and the client area's object
    // once a reader has asked for it.
    std::string accessibleName;
    IAccessible* accessible = nullptr;
    // The windows a modal show disabled, enabled again before it hides.
    std::vector<::HWND> disabledByModal;
};

namespace win32 {

// The form's window class, registered once.
const wchar_t* FormClass();
// A timer's tick, by the number it was set with.
void TimerTick(Form& form, ::UINT_PTR id);

} // namespace win32

} // namespace platform
