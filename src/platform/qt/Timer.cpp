#include "platform/gui/Timer.h"

#include "platform/qt/Internals.h"

#include <QTimer>

namespace platform {

struct Timer::Impl : core::TimerCore {
    Impl(Timer& self, Form& form) : TimerCore(self, form) {}
    QTimer timer;
};

Timer::Timer(Form& owner) : m_p(std::make_unique<Impl>(*this, owner)) {
    m_p->timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_p->timer, &QTimer::timeout, &m_p->timer, [this] { m_p->Tick(); });
}

Timer::~Timer() = default;

namespace core {

TimerCore& CoreOf(const Timer& timer) {
    return timer.Internals();
}

void ApplyTimer(Timer& timer) {
    Timer::Impl& t = timer.Internals();
    if (t.Running()) {
        t.timer.setInterval(t.interval);
        t.timer.start();
    } else {
        t.timer.stop();
    }
}

} // namespace core

} // namespace platform
