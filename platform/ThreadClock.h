#pragma once
#include "platform/Clock.h"
#include <QElapsedTimer>

// The clock of a thread that serves no window (a station's slot): its waits
// sleep the thread and pump nothing. What is scheduled goes to the main
// clock, whose thread runs the event loop (a simulated controller's mode
// changes happen there). Used by the thread that owns it; schedule() from
// any thread.
class ThreadClock : public Clock {
public:
    explicit ThreadClock(Clock& main);
    std::int64_t wallSeconds() const override;
    std::int64_t nowMs() const override;
    void sleepMs(int ms) override;
    void pump() override {}
    void schedule(int ms, std::function<void()> fn) override { m_main.schedule(ms, std::move(fn)); }

private:
    Clock& m_main;
    QElapsedTimer m_timer;
};
