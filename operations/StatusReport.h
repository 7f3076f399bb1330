#pragma once
#include <QString>
#include <cstdint>
#include <vector>

// One status report ("$" line) as the parser read it. Plain value, any
// thread.
struct StatusReport {
    // The values the line carried, in order (none to six of them), each as
    // the text renders it: its low 8 bits taken as signed (200 is -56).
    std::vector<int> values;
    // The line as the log shows it (StatusReportParser::RenderStatusReport):
    // a value the line did not carry shows the one kept from earlier lines.
    QString text;
    // The line carried all six values.
    bool complete = false;
    // When the read that brought the line's CR returned: the time the caller
    // gave the parse run, in ms of the caller's clock.
    std::int64_t receivedMs = 0;
};
