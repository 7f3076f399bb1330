#pragma once
#include <QString>

class StatusHistory;

// The status plot's reports as a CSV file, in the rows `status --csv` prints
// (StatusSample::csvRow). Window's thread.
class StatusCsv {
public:
    // Writes the header and one row per report the history holds, oldest
    // first, each line ended by LF, to path: all of it or, on failure,
    // nothing (an existing file is kept). False with error saying why.
    static bool Write(const StatusHistory& history, const QString& path, QString& error);
};
