#include "app/StatusHistory.h"
#include <algorithm>

void StatusHistory::add(StatusSample s)
{
    if (!m_samples.empty())
        s.utcMs = std::max(s.utcMs, m_samples.back().utcMs);
    m_samples.push_back(s);
    ++(s.complete() ? m_complete : m_incomplete);
    while (m_samples.front().utcMs < s.utcMs - KEEP_MS) {
        m_samples.pop_front();
        ++m_dropped;
    }
}

qsizetype StatusHistory::lowerBound(std::int64_t utcMs) const
{
    const auto it = std::lower_bound(m_samples.begin(), m_samples.end(), utcMs,
                                     [](const StatusSample& s, std::int64_t t) { return s.utcMs < t; });
    return static_cast<qsizetype>(it - m_samples.begin());
}

qint64 StatusHistory::lastSecond(std::int64_t nowUtcMs) const
{
    return lowerBound(nowUtcMs + 1) - lowerBound(nowUtcMs - 999);
}
