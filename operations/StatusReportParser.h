#pragma once
#include <QString>
#include <functional>

class SerialTransport;

// Cuts the bytes the receive pump put into the transport's ring into lines
// and renders each status report ("$" line) as one log line. Keeps its read
// index, the line being assembled and report fields 2..5 between calls.
class StatusReportParser {
public:
    StatusReportParser();

    // Consumes the ring's unread bytes; calls report(text) once per "$" line
    // with the rendered text (without its line end), in arrival order.
    void ParseStatusReports(SerialTransport& transport, const std::function<void(const QString&)>& report);

    int g_rxTail = 0;
    char g_lineBuf[800] = {};
    int g_lineLen = 0;
    int m_field[6] = {};  // fields 2..5 persist between calls
};
