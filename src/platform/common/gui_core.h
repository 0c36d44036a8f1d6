#pragma once

// What every window system does alike, written once: the loaded windows,
// their load and unload, the program's end at the last unload, the mouse-move
// subscription, the scale mode, popup menus and their probe, the timers'
// state and ticks, the colour dialog's chooser, the instance's activation and
// Shell. A backend's Form::Impl derives from FormCore and its Timer::Impl
// from TimerCore; the backend defines the functions declared at the end, the
// steps that belong to its toolkit, and nothing else of this bookkeeping.

#include "platform/gui/Control.h"
#include "platform/gui/Form.h"
#include "platform/gui/Menu.h"
#include "platform/gui/MenuItem.h"
#include "platform/gui/Timer.h"
#include "platform/gui/window.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform::core {

// The loaded windows, in the order they were made: a backend's Form adds
// itself once made and takes itself out as it is freed.
std::vector<Form*>& LoadedForms();

// What every backend keeps of a window.
struct FormCore {
    FormCore() = default;
    FormCore(const FormCore&) = delete;
    FormCore& operator=(const FormCore&) = delete;

    // Coordinates in the window's unit (ScaleMode) from pixels, and pixels,
    // cut to whole ones, from them; twipsPerPixel is the window's.
    float Units(double pixels, double twipsPerPixel) const;
    int Pixels(float units, double twipsPerPixel) const;
    // Frees the elements, the menus and the menu bar's items, before the
    // toolkit's window goes.
    void FreeOwned();

    int scaleMode = 1;
    int startUpPosition = vbStartUpManual;
    // While shown modally: the window it opens over.
    Form* owner = nullptr;
    HICON icon = 0;
    bool loaded = false;
    bool unloading = false;
    bool unloaded = false;
    std::vector<Timer*> timers;
    MouseHandler subscriber;
    // What the window owns.
    std::vector<std::unique_ptr<Control>> controls;
    std::vector<std::unique_ptr<Menu>> menus;
    std::vector<std::unique_ptr<MenuItem>> barItems;
};

// What every backend keeps of a timer; it is one of its window's timers
// while it lives.
struct TimerCore {
    TimerCore(Timer& self, Form& form);
    ~TimerCore();
    TimerCore(const TimerCore&) = delete;
    TimerCore& operator=(const TimerCore&) = delete;

    // Whether the toolkit's timer should run: enabled, with an interval, and
    // its window not unloaded.
    bool Running() const;
    // A tick fell due: runs OnTimer unless the timer is stopped or its last
    // tick is still being handled.
    void Tick();

    Timer& timer;
    Form& owner;
    int interval = 0;
    bool enabled = false;
    bool ticking = false;
    // For good: its window has unloaded.
    bool stopped = false;
};

// While one lives, a popup asked of any window is not shown but noted, and a
// window's own MouseMove hears of no move: what a right click on the
// notification-area icon would show now, to hand to a host that draws the
// menu itself.
class PopupProbe {
public:
    PopupProbe();
    ~PopupProbe();
    PopupProbe(const PopupProbe&) = delete;
    PopupProbe& operator=(const PopupProbe&) = delete;
    Menu* Shown() const { return m_shown; }

private:
    friend class platform::Form;
    Menu* m_shown = nullptr;
};

// For a later start's request (Instance.h): runs the handler that
// SetInstanceActivate gave, and returns the window to bring to the front, or
// null where there is none, as while the program starts or ends.
Form* HandleActivateRequest();

// Defined by each backend:

FormCore& CoreOf(const Form& form);
TimerCore& CoreOf(const Timer& timer);
// The window's twips per pixel down (Form::TwipsPerPixelX across).
double TwipsPerPixelY(const Form& form);
// Starts or stops the toolkit's timer as Running() says.
void ApplyTimer(Timer& timer);
// An unload's last steps, once the window is out of Forms() and hidden: its
// open menus close, and it is freed once no handler up the stack can still
// be using it.
void CloseMenus(Form& form);
void FreeWhenUnwound(Form& form);
// Pops the menu up at the pointer, or at a point of the window's client area
// in pixels, and returns when it has closed.
void PopupAtPointer(Form& form, Menu& menu, MenuItem* defaultItem);
void PopupAt(Form& form, Menu& menu, MenuItem* defaultItem, int x, int y);
// The toolkit's colour dialog over the window: the colour picked, or nothing
// for Cancel.
std::optional<std::int32_t> PickColor(Form& owner, std::int32_t color, const std::string& title);

} // namespace platform::core
