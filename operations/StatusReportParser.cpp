#include "operations/StatusReportParser.h"
#include "serial/ReceiveRing.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>

StatusReportParser::StatusReportParser() = default;

QString StatusReportParser::RenderStatusReport(const int fields[6])
{
    QString out = QStringLiteral("$ ");
    for (int i = 0; i < 6; ++i) {
        const int v = RenderedValue(fields[i]);
        const int magnitude = std::abs(v);
        out += v >= 0 ? u'+' : u'-';
        out += magnitude <= 9 ? QStringLiteral("0000") : magnitude <= 99 ? QStringLiteral("000") : QStringLiteral("00");
        char text[16];
        std::snprintf(text, sizeof text, "%d ,", magnitude);
        out += QLatin1String(text);
    }
    return out;
}

int StatusReportParser::RenderedValue(int value) { return static_cast<signed char>(static_cast<unsigned>(value) & 0xFFu); }

void StatusReportParser::reportLine(std::int64_t receivedMs, const std::function<void(const StatusReport&)>& report)
{
    // A field the line does not supply keeps its value: fields 2..5 from the
    // last report that supplied them, fields 1 and 6 from earlier in this
    // run, else 0.
    static_assert(sizeof(g_lineBuf) == LINE_CAP + 1);
    const int carried = std::sscanf(g_lineBuf, "$ %d ,%d ,%d ,%d ,%d ,%d", &m_field1, &m_field2to5[0],
                                    &m_field2to5[1], &m_field2to5[2], &m_field2to5[3], &m_field6);
    const int fields[6] = {m_field1, m_field2to5[0], m_field2to5[1], m_field2to5[2], m_field2to5[3], m_field6};
    if (!report)
        return;
    // sscanf counts the values it stored, in order; EOF (a line that ends
    // before the first one) stored none.
    StatusReport r;
    for (int i = 0; i < std::clamp(carried, 0, 6); ++i)
        r.values.push_back(RenderedValue(fields[i]));
    r.complete = carried == 6;
    r.text = RenderStatusReport(fields);
    r.receivedMs = receivedMs;
    report(r);
}

void StatusReportParser::ParseStatusReports(const ReceiveRing& ring,
                                            const std::function<void(const QString&)>& report)
{
    std::function<void(const StatusReport&)> text;
    if (report)
        text = [&report](const StatusReport& r) { report(r.text); };
    ParseStatusReports(ring, 0, text);
}

void StatusReportParser::ParseStatusReports(const ReceiveRing& ring, std::int64_t receivedMs,
                                            const std::function<void(const StatusReport&)>& report)
{
    constexpr int RING = ReceiveRing::SIZE;
    // A tail set from outside is brought back into the ring.
    g_rxTail = ((g_rxTail % RING) + RING) % RING;
    const int head = ring.head();
    g_lineLen = std::clamp(g_lineLen, 0, LINE_CAP);
    m_field1 = 0;
    m_field6 = 0;

    int unread = head - g_rxTail;
    if (unread < 0)
        unread += RING;
    for (int i = 0; i < unread; ++i) {
        const unsigned char b = ring.at(g_rxTail);
        g_rxTail = (g_rxTail + 1) % RING;
        if (b == '\r') {
            g_lineBuf[g_lineLen] = '\0';
            if (g_lineBuf[0] == '$')
                reportLine(receivedMs, report);
            g_lineLen = 0;
        } else if (b == '\n' || b == '\0') {
            continue;
        } else {
            if (g_lineLen == 0 && b != '$' && b != 'X' && b != 'Y')
                continue;
            g_lineBuf[g_lineLen] = static_cast<char>(b);
            if (++g_lineLen > LINE_CAP)
                g_lineLen = LINE_CAP;
        }
    }
}
