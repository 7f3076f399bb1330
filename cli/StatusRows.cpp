#include "cli/StatusRows.h"
#include "journal/JournalRecord.h"
#include <QDateTime>
#include <QJsonArray>

QString StatusRows::Header() { return StatusSample::CsvHeader(); }

std::int64_t StatusRows::firstByteUtcMs(std::int64_t ms)
{
    if (!m_firstByteUtcMs)
        m_firstByteUtcMs = QDateTime::currentMSecsSinceEpoch() - ms;
    return *m_firstByteUtcMs;
}

QString StatusRows::utc(std::int64_t ms) { return JournalRecord::IsoTime(firstByteUtcMs(ms) + ms); }

StatusSample StatusRows::sample(const StatusReport& report, std::int64_t ms)
{
    return StatusSample::From(report, ms, firstByteUtcMs(ms));
}

QString StatusRows::row(const StatusReport& report, std::int64_t ms) { return sample(report, ms).csvRow(); }

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
