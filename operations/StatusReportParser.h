#pragma once
#include "operations/StatusReport.h"
#include <QString>
#include <cstdint>
#include <functional>

class ReceiveRing;

// Cuts the bytes the receive pump put into the transport's ring into lines
// and renders each status report ("$" line) as one log line, with the values
// the line carried beside it. Keeps its read index, the line being assembled
// and report fields 2..5 between calls, for the whole run: a line whose CR
// comes with a later read is joined and reported once. Window's thread only.
//
// Lines: CR ends a line; LF and NUL are ignored; a line begins only with
// "$", "X" or "Y" (bytes before are dropped); a line keeps its first 799
// characters. Only "$" lines are reported.
class StatusReportParser {
public:
    static constexpr int LINE_CAP = 799;

    StatusReportParser();

    // Consumes the ring's unread bytes (g_rxTail up to ring.head()); calls
    // report(text) once per "$" line with the rendered text (without a line
    // end), in arrival order.
    void ParseStatusReports(const ReceiveRing& ring, const std::function<void(const QString&)>& report);
    // The same, each report as a value: the values the line carried beside
    // the rendered text, whether it carried all six, and receivedMs (the
    // caller's clock when the read that brought these bytes returned).
    void ParseStatusReports(const ReceiveRing& ring, std::int64_t receivedMs,
                            const std::function<void(const StatusReport&)>& report);

    // Renders six report values: "$ ", then per value its sign, zeros up to
    // five digits and "%d ," of its magnitude, each value cut to its low 8
    // bits taken as signed (200 renders as "-00056 ,").
    static QString RenderStatusReport(const int fields[6]);
    // One value as a report renders it: its low 8 bits taken as signed.
    static int RenderedValue(int value);

    int g_rxTail = 0;        // next unread slot of the ring, 0..10240
    char g_lineBuf[800] = {};
    int g_lineLen = 0;       // 0..799
    int m_field2to5[4] = {}; // report fields 2..5, kept from report to report

private:
    void reportLine(std::int64_t receivedMs, const std::function<void(const StatusReport&)>& report);

    // Fields 1 and 6 belong to one parse run: 0 at its start, then the
    // values of the last line of the run that supplied them.
    int m_field1 = 0;
    int m_field6 = 0;
};
