#include "operations/StatusSample.h"
#include <QDateTime>

QString StatusSample::CsvHeader() { return QStringLiteral("time_utc,ms,v1,v2,v3,v4,v5,v6"); }

QString StatusSample::csvRow() const
{
    QString row = QDateTime::fromMSecsSinceEpoch(utcMs, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'"));
    row += u',' + QString::number(ms);
    for (int i = 0; i < 6; ++i) {
        row += u',';
        if (i < carried)
            row += QString::number(values[i]);
    }
    return row;
}
