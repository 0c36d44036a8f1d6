// Timers tick as WM_TIMER messages to their window. Windows sends a tick
// from within any message loop, a yield inside the last tick's handler too:
// such a tick is dropped. So is one inside the loop of the window's popup
// menu: the handler's yields would take the clicks meant for the menu, which
// then ignores them for as long as the handler runs (a sweep, twenty pings).
// The timer ticks again once the menu has closed.

#include "platform/gui/Timer.h"

#include "platform/win32/gui/Internals.h"

#include <algorithm>
#include <map>

namespace platform {

struct Timer::Impl {
    Impl(Timer& self, Form& form) : timer(self), owner(form) {}

    void Apply() const {
        const ::HWND hWnd = owner.Internals().hWnd;
        if (enabled && interval > 0 && !stopped) {
            ::SetTimer(hWnd, id, static_cast<::UINT>(interval), nullptr);
        } else {
            ::KillTimer(hWnd, id);
        }
    }

    Timer& timer;
    Form& owner;
    ::UINT_PTR id = 0;
    int interval = 0;
    bool enabled = false;
    bool ticking = false;
    bool stopped = false;
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
    if (it == Timers().end() || &it->second->owner != &form) {
        return;
    }
    Timer::Impl& t = *it->second;
    if (!t.timer.OnTimer || t.ticking || t.stopped || !t.enabled || form.Internals().menuOpen) {
        return;
    }
    t.ticking = true;
    t.timer.OnTimer();
    t.ticking = false;
}

void StopTimer(Timer& timer) {
    for (auto& [id, impl] : Timers()) {
        if (&impl->timer == &timer) {
            impl->stopped = true;
            impl->Apply();
        }
    }
}

} // namespace win32

Timer::Timer(Form& owner) : m_p(std::make_unique<Impl>(*this, owner)) {
    static ::UINT_PTR next = 0;
    m_p->id = ++next;
    Timers().emplace(m_p->id, m_p.get());
    owner.Internals().timers.push_back(this);
}

Timer::~Timer() {
    ::KillTimer(m_p->owner.Internals().hWnd, m_p->id);
    Timers().erase(m_p->id);
    std::erase(m_p->owner.Internals().timers, this);
}

int Timer::Interval() const {
    return m_p->interval;
}

void Timer::SetInterval(int milliseconds) {
    m_p->interval = milliseconds;
    m_p->Apply();
}

bool Timer::Enabled() const {
    return m_p->enabled;
}

void Timer::SetEnabled(bool enabled) {
    m_p->enabled = enabled;
    m_p->Apply();
}

} // namespace platform
