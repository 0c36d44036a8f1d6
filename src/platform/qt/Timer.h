#pragma once

#include <QTimer>

#include <functional>

namespace platform::qt {

// Ticks every Interval milliseconds while enabled, through the message loop.
// A tick never nests: one that falls due while the last is still being
// handled (inside a yield) is dropped, so ticks do not pile up either.
class Timer {
public:
    Timer();

    int Interval() const { return m_timer.interval(); }
    void SetInterval(int milliseconds);
    bool Enabled() const { return m_bEnabled; }
    void SetEnabled(bool enabled);

    std::function<void()> OnTimer;

private:
    void Apply();

    QTimer m_timer;
    bool m_bEnabled = false;
    bool m_bTicking = false;
};

} // namespace platform::qt
