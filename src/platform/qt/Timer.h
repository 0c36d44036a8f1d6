#pragma once

#include <QTimer>

#include <functional>

namespace platform::qt {

class Form;

// Ticks every Interval milliseconds while enabled, through the message loop.
// A tick never nests: one that falls due while the last is still being
// handled (inside a yield) is dropped, so ticks do not pile up either. A
// timer belongs to a window and stops for good when that window unloads.
class Timer {
public:
    explicit Timer(Form& owner);

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
