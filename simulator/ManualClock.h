#pragma once
#include "platform/Clock.h"
#include <mutex>
#include <vector>

// A clock for tests: waits return at once after advancing the clock's time,
// running whatever was scheduled up to then, and delivering queued Qt events.
// wallSeconds() starts at a chosen second so that tests can place a wait
// across a minute boundary.
class ManualClock : public Clock {
public:
    explicit ManualClock(std::int64_t startWallSeconds = 1'700'000'000);

    std::int64_t wallSeconds() const override;
    std::int64_t nowMs() const override;
    void sleepMs(int ms) override;
    void pump() override;
    void schedule(int ms, std::function<void()> fn) override;
    void setUserInputDelivered(bool on) override { m_userInput = on; }

    // Advances the time by ms, running due scheduled functions in time order.
    void advance(int ms);
    // Total milliseconds slept through sleepMs since construction.
    std::int64_t sleptMs() const { return m_slept; }

private:
    struct Job {
        std::int64_t due;
        std::uint64_t seq;
        std::function<void()> fn;
    };
    void runDue();

    std::int64_t m_startWall;
    std::int64_t m_now = 0;
    std::int64_t m_slept = 0;
    bool m_userInput = false;
    std::uint64_t m_seq = 0;
    mutable std::mutex m_mutex;
    std::vector<Job> m_jobs;
};
