#include "platform/gui/Timer.h"

#include "platform/qt/Internals.h"

#include <QTimer>

#include <algorithm>

namespace platform {

struct Timer::Impl {
    explicit Impl(Form& form) : owner(form) {}
    Form& owner;
    QTimer timer;
    bool enabled = false;
    bool ticking = false;

    void Apply() {
        if (enabled && timer.interval() > 0) {
            timer.start();
        } else {
            timer.stop();
        }
    }
};

Timer::Timer(Form& owner) : m_p(std::make_unique<Impl>(owner)) {
    owner.Internals().timers.push_back(this);
    m_p->timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_p->timer, &QTimer::timeout, &m_p->timer, [this] {
        if (!OnTimer || m_p->ticking) {
            return;
        }
        m_p->ticking = true;
        OnTimer();
        m_p->ticking = false;
    });
}

Timer::~Timer() {
    std::erase(m_p->owner.Internals().timers, this);
}

int Timer::Interval() const {
    return m_p->timer.interval();
}

void Timer::SetInterval(int milliseconds) {
    m_p->timer.setInterval(milliseconds);
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
