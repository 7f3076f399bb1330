#include "app/StatusCsv.h"
#include "app/StatusHistory.h"
#include <QSaveFile>

bool StatusCsv::Write(const StatusHistory& history, const QString& path, QString& error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    // Written in pieces of about a megabyte: an hour of reports is far more.
    // A write that fails is remembered by the file, and commit() refuses.
    QByteArray chunk = StatusSample::CsvHeader().toLatin1() + '\n';
    for (qsizetype i = 0; i < history.size(); ++i) {
        chunk += history.at(i).csvRow().toLatin1();
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
