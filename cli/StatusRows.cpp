#include "cli/StatusRows.h"
#include "journal/JournalRecord.h"
#include <QDateTime>
#include <QJsonArray>
#include <QStringList>

QString StatusRows::Header() { return QStringLiteral("time_utc,ms,v1,v2,v3,v4,v5,v6"); }

QString StatusRows::utc(std::int64_t ms)
{
    if (!m_firstByteUtcMs)
        m_firstByteUtcMs = QDateTime::currentMSecsSinceEpoch() - ms;
    return JournalRecord::IsoTime(*m_firstByteUtcMs + ms);
}

QString StatusRows::row(const StatusReport& report, std::int64_t ms)
{
    QStringList cells{utc(ms), QString::number(ms)};
    for (std::size_t i = 0; i < 6; ++i)
        cells << (i < report.values.size() ? QString::number(report.values[i]) : QString());
    return cells.join(u',');
}

Output::Fields StatusRows::event(const StatusReport& report, std::int64_t ms)
{
    QJsonArray values;
    for (const int v : report.values)
        values.append(v);
    return {{QStringLiteral("time"), utc(ms)},
            {QStringLiteral("ms"), qint64(ms)},
            {QStringLiteral("values"), values},
            {QStringLiteral("text"), report.text},
            {QStringLiteral("complete"), report.complete}};
}
