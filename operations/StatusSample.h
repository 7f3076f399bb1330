#pragma once
#include "operations/StatusReport.h"
#include <QString>
#include <algorithm>
#include <cstdint>
#include <limits>

// One status report as data: its receive time, its values and how many the
// line carried. The status plot keeps an hour of them (24 bytes each, so an
// hour at 1000 reports a second takes about 86 MB); the plot's CSV file and
// `status --csv` both write them as csvRow() does. Plain value, any thread.
struct StatusSample {
    // The receive time in UTC, ms since the epoch: the UTC time of the
    // command's first byte plus ms.
    std::int64_t utcMs = 0;
    // Whole ms from the command's first byte to the return of the read that
    // brought the report's CR.
    std::int32_t ms = 0;
    // The values the line carried, in order, as rendered (low 8 bits taken
    // as signed); 0 past carried.
    std::int8_t values[6] = {};
    // How many values the line carried, 0..6; a report is plotted only when
    // it carried all six.
    std::uint8_t carried = 0;

    bool complete() const { return carried == 6; }

    // The sample of report, which came sinceFirstByteMs after the first byte
    // of a command sent at firstByteUtcMs.
    static StatusSample From(const StatusReport& report, std::int64_t sinceFirstByteMs, std::int64_t firstByteUtcMs)
    {
        StatusSample s;
        s.ms = static_cast<std::int32_t>(
            std::clamp<std::int64_t>(sinceFirstByteMs, 0, std::numeric_limits<std::int32_t>::max()));
        s.utcMs = firstByteUtcMs + s.ms;
        s.carried = static_cast<std::uint8_t>(std::min<std::size_t>(report.values.size(), 6));
        for (int i = 0; i < s.carried; ++i)
            s.values[i] = static_cast<std::int8_t>(report.values[static_cast<std::size_t>(i)]);
        return s;
    }

    // "time_utc,ms,v1,v2,v3,v4,v5,v6"
    static QString CsvHeader();
    // One CSV row, without a line end: time_utc (UTC ISO 8601 with
    // milliseconds), ms, then the values carried and an empty cell for each
    // value the line did not carry (always eight columns).
    QString csvRow() const;
};
