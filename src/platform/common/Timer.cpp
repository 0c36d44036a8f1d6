#include "platform/gui/Timer.h"

#include "platform/common/gui_core.h"

#include <algorithm>

namespace platform {

namespace core {

TimerCore::TimerCore(Timer& self, Form& form) : timer(self), owner(form) {
    CoreOf(owner).timers.push_back(&timer);
}

TimerCore::~TimerCore() {
    std::erase(CoreOf(owner).timers, &timer);
}

bool TimerCore::Running() const {
    return enabled && interval > 0 && !stopped;
}

void TimerCore::Tick() {
    if (!timer.OnTimer || ticking || stopped || !enabled) {
        return;
    }
    ticking = true;
    timer.OnTimer();
    ticking = false;
}

} // namespace core

int Timer::Interval() const {
    return core::CoreOf(*this).interval;
}

void Timer::SetInterval(int milliseconds) {
    core::CoreOf(*this).interval = milliseconds;
    core::ApplyTimer(*this);
}

bool Timer::Enabled() const {
    return core::CoreOf(*this).enabled;
}

void Timer::SetEnabled(bool enabled) {
    core::CoreOf(*this).enabled = enabled;
    core::ApplyTimer(*this);
}

} // namespace platform
