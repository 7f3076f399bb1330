#pragma once
#include "cli/Output.h"
#include "operations/StatusReport.h"
#include "operations/StatusSample.h"
#include <QString>
#include <cstdint>
#include <optional>

// The status reports of one mode command as data: CSV rows and JSON report
// events. Each report is stamped with ms, the whole milliseconds from the
// command's first byte to the read that brought its CR, and with the UTC
// time of that moment: the UTC time of the first byte (taken once, when the
// first report comes, as the time then less its ms) plus ms, so that the
// times of two reports differ exactly as their ms do. The thread of its
// command.
class StatusRows {
public:
    // "time_utc,ms,v1,v2,v3,v4,v5,v6". The columns are the data file's own,
    // not the journal's names.
    static QString Header();

    // The report as a sample stamped so (the status plot keeps these).
    StatusSample sample(const StatusReport& report, std::int64_t ms);
    // One row: time_utc in UTC ISO 8601 with milliseconds, ms, then the
    // values the line carried and an empty cell for each it did not (always
    // eight columns).
    QString row(const StatusReport& report, std::int64_t ms);
    // The fields of a report event: time, ms, values (those carried), text
    // (as the log shows it), complete.
    Output::Fields event(const StatusReport& report, std::int64_t ms);

private:
    // The UTC time of the first byte, taken when the first report comes.
    std::int64_t firstByteUtcMs(std::int64_t ms);
    QString utc(std::int64_t ms);

    std::optional<std::int64_t> m_firstByteUtcMs;  // ms since the epoch
};
