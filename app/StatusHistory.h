#pragma once
#include "operations/StatusSample.h"
#include <QtGlobal>
#include <cstdint>
#include <deque>

// The status reports the plot holds, oldest first: complete and incomplete
// ones (the plot draws the complete ones; a CSV file gets them all), at most
// the last hour of them by receive time, and counts since the plot began.
// Window's thread only.
class StatusHistory {
public:
    // How far back from the newest report reports are kept, in ms.
    static constexpr std::int64_t KEEP_MS = 3'600'000;

    // Appends s. Receive times never go back: a sample older than the newest
    // (a wall clock set back between two commands) takes the newest's time.
    // Then lets go of the reports more than KEEP_MS older than s.
    void add(StatusSample s);

    // The reports held, 0..size()-1, oldest first.
    qsizetype size() const { return static_cast<qsizetype>(m_samples.size()); }
    bool empty() const { return m_samples.empty(); }
    const StatusSample& at(qsizetype i) const { return m_samples[static_cast<std::size_t>(i)]; }
    const StatusSample& newest() const { return m_samples.back(); }

    // Counts since the plot began: complete reports taken (each plotted),
    // incomplete lines taken (counted, never plotted), and reports let go
    // because they were more than an hour older than the newest.
    qint64 complete() const { return m_complete; }
    qint64 incomplete() const { return m_incomplete; }
    qint64 dropped() const { return m_dropped; }

    // The first report received at or after utcMs; size() when none is.
    qsizetype lowerBound(std::int64_t utcMs) const;
    // Reports received within the second up to nowUtcMs: (nowUtcMs - 1000,
    // nowUtcMs].
    qint64 lastSecond(std::int64_t nowUtcMs) const;

private:
    std::deque<StatusSample> m_samples;
    qint64 m_complete = 0;
    qint64 m_incomplete = 0;
    qint64 m_dropped = 0;
};
