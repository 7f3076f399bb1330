#include "simulator/ManualClock.h"
#include <QCoreApplication>
#include <algorithm>

ManualClock::ManualClock(std::int64_t startWallSeconds) : m_startWall(startWallSeconds) {}

std::int64_t ManualClock::wallSeconds() const
{
    std::lock_guard lock(m_mutex);
    return m_startWall + m_now / 1000;
}

std::int64_t ManualClock::nowMs() const
{
    std::lock_guard lock(m_mutex);
    return m_now;
}

void ManualClock::sleepMs(int ms)
{
    m_slept += std::max(ms, 0);
    advance(ms);
}

void ManualClock::pump()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(m_userInput ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    runDue();
}

void ManualClock::schedule(int ms, std::function<void()> fn)
{
    std::lock_guard lock(m_mutex);
    m_jobs.push_back({m_now + std::max(ms, 0), m_seq++, std::move(fn)});
}

void ManualClock::advance(int ms)
{
    std::int64_t target;
    {
        std::lock_guard lock(m_mutex);
        target = m_now + std::max(ms, 0);
    }
    // Step through the due jobs in order so that each runs at its own time.
    for (;;) {
        pump();
        std::function<void()> fn;
        {
            std::lock_guard lock(m_mutex);
            auto it = std::min_element(m_jobs.begin(), m_jobs.end(), [](const Job& a, const Job& b) {
                return a.due != b.due ? a.due < b.due : a.seq < b.seq;
            });
            if (it == m_jobs.end() || it->due > target) {
                m_now = target;
                break;
            }
            m_now = std::max(m_now, it->due);
            fn = std::move(it->fn);
            m_jobs.erase(it);
        }
        fn();
    }
    pump();
}

void ManualClock::runDue()
{
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock(m_mutex);
            auto it = std::find_if(m_jobs.begin(), m_jobs.end(), [this](const Job& j) { return j.due <= m_now; });
            if (it == m_jobs.end())
                return;
            fn = std::move(it->fn);
            m_jobs.erase(it);
        }
        fn();
    }
}
