#pragma once
#include "platform/Clock.h"
#include <QElapsedTimer>
#include <QEventLoop>

// The real clock. Its waits run a local event loop that excludes user input,
// so the window paints, timers tick and progress bars move while an operation
// waits, but no second operation can start.
class EventLoopClock : public Clock {
public:
    EventLoopClock();
    std::int64_t wallSeconds() const override;
    std::int64_t nowMs() const override;
    void sleepMs(int ms) override;
    void pump() override;
    void schedule(int ms, std::function<void()> fn) override;
    void setUserInputDelivered(bool on) override;

private:
    QEventLoop::ProcessEventsFlags flags() const;

    QElapsedTimer m_timer;
    bool m_userInput = false;
};
