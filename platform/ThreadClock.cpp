#include "platform/ThreadClock.h"
#include <QDateTime>
#include <chrono>
#include <thread>

ThreadClock::ThreadClock(Clock& main) : m_main(main) { m_timer.start(); }

std::int64_t ThreadClock::wallSeconds() const { return QDateTime::currentSecsSinceEpoch(); }

std::int64_t ThreadClock::nowMs() const { return m_timer.elapsed(); }

void ThreadClock::sleepMs(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
