#pragma once
#include <QString>

class StatusHistory;
struct StatusSample;

// The status plot's reports as a CSV file in the columns of `status --csv`:
// time_utc (UTC ISO 8601 with milliseconds), ms (from the command's first
// byte), then the six values, a short line's cells past the values it
// carried left empty. Window's thread.
class StatusCsv {
public:
    // "time_utc,ms,v1,v2,v3,v4,v5,v6"
    static QString Header();
    // One row, without a line end.
    static QString Row(const StatusSample& s);
    // Writes the header and one row per report the history holds, oldest
    // first, each line ended by LF, to path: all of it or, on failure,
    // nothing (an existing file is kept). False with error saying why.
    static bool Write(const StatusHistory& history, const QString& path, QString& error);
};
