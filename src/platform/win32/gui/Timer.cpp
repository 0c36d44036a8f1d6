// Timers tick as WM_TIMER messages to their window. Windows sends a tick
// from within any message loop, a yield inside the last tick's handler too:
// such a tick is dropped. So is one inside the loop of the window's popup
// menu: the handler's yields would take the clicks meant for the menu, which
// then ignores them for as long as the handler runs (a sweep, twenty pings).
// The timer ticks again once the menu has closed.

#include "platform/gui/Timer.h"

#include "platform/win32/gui/Internals.h"

#include <map>

namespace platform {

struct Timer::Impl : core::TimerCore {
    Impl(Timer& self, Form& form) : TimerCore(self, form) {}

    ::UINT_PTR id = 0;
};

namespace {

std::map<::UINT_PTR, Timer::Impl*>& Timers() {
    static std::map<::UINT_PTR, Timer::Impl*> timers;
    return timers;
}

} // namespace

namespace win32 {

void TimerTick(Form& form, ::UINT_PTR id) {
    const auto it = Timers().find(id);
    if (it == Timers().end() || &it->second->owner != &form || form.Internals().menuOpen) {
        return;
    }
    it->second->Tick();
}

} // namespace win32

Timer::Timer(Form& owner) : m_p(std::make_unique<Impl>(*this, owner)) {
    static ::UINT_PTR next = 0;
    m_p->id = ++next;
    Timers().emplace(m_p->id, m_p.get());
}

Timer::~Timer() {
    ::KillTimer(m_p->owner.Internals().hWnd, m_p->id);
    Timers().erase(m_p->id);
}

namespace core {

TimerCore& CoreOf(const Timer& timer) {
    return timer.Internals();
}

void ApplyTimer(Timer& timer) {
    const Timer::Impl& t = timer.Internals();
    const ::HWND hWnd = t.owner.Internals().hWnd;
    if (t.Running()) {
        ::SetTimer(hWnd, t.id, static_cast<::UINT>(t.interval), nullptr);
    } else {
        ::KillTimer(hWnd, t.id);
    }
}

} // namespace core

} // namespace platform
