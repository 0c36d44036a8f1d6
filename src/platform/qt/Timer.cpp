#include "platform/qt/Timer.h"

#include "platform/qt/Form.h"

namespace platform::qt {

Timer::Timer(Form& owner) {
    owner.AddTimer(this);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
        if (!OnTimer || m_bTicking) {
            return;
        }
        m_bTicking = true;
        OnTimer();
        m_bTicking = false;
    });
}

void Timer::SetInterval(int milliseconds) {
    m_timer.setInterval(milliseconds);
    Apply();
}

void Timer::SetEnabled(bool enabled) {
    m_bEnabled = enabled;
    Apply();
}

void Timer::Apply() {
    if (m_bEnabled && m_timer.interval() > 0) {
        m_timer.start();
    } else {
        m_timer.stop();
    }
}

} // namespace platform::qt
