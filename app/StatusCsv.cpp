#include "app/StatusCsv.h"
#include "app/StatusHistory.h"
#include "journal/JournalRecord.h"
#include <QSaveFile>

QString StatusCsv::Header() { return QStringLiteral("time_utc,ms,v1,v2,v3,v4,v5,v6"); }

QString StatusCsv::Row(const StatusSample& s)
{
    QString row = JournalRecord::IsoTime(s.utcMs) + u',' + QString::number(s.ms);
    for (int i = 0; i < 6; ++i) {
        row += u',';
        if (i < s.carried)
            row += QString::number(s.values[i]);
    }
    return row;
}

bool StatusCsv::Write(const StatusHistory& history, const QString& path, QString& error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    // Written in pieces of about a megabyte: an hour of reports is far more.
    // A write that fails is remembered by the file, and commit() refuses.
    QByteArray chunk = Header().toLatin1() + '\n';
    for (qsizetype i = 0; i < history.size(); ++i) {
        chunk += Row(history.at(i)).toLatin1();
        chunk += '\n';
        if (chunk.size() >= (1 << 20)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}
