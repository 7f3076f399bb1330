#pragma once
#include "platform/Clock.h"
#include <QElapsedTimer>

// The clock of an exchange that runs on a thread of its own, with no window
// to keep painting: waits sleep the thread, pump() does nothing. Times are
// the monotonic clock's, in ms; wallSeconds() is the system's. Any thread may
// read it; waits block only the thread that calls them.
class WorkerClock : public Clock {
public:
    WorkerClock();
    std::int64_t wallSeconds() const override;
    std::int64_t nowMs() const override;
    void sleepMs(int ms) override;
    void pump() override {}
    // Runs fn on the application's thread after ms, as the window's clock
    // does; nothing without an application object.
    void schedule(int ms, std::function<void()> fn) override;

private:
    QElapsedTimer m_timer;
};
