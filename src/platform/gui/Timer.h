#pragma once

#include <functional>
#include <memory>

namespace platform {

class Form;

// Ticks every Interval milliseconds while enabled, through the message loop.
// A tick never nests: one that falls due while the last is still being
// handled (inside a yield) is dropped, so ticks do not pile up either. A
// timer belongs to a window, which must outlive it, and stops for good when
// that window unloads.
class Timer {
public:
    explicit Timer(Form& owner);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    int Interval() const;
    void SetInterval(int milliseconds);
    bool Enabled() const;
    void SetEnabled(bool enabled);

    std::function<void()> OnTimer;

    // The window system's side of the timer.
    struct Impl;
    Impl& Internals() const { return *m_p; }

private:
    std::unique_ptr<Impl> m_p;
};

} // namespace platform
