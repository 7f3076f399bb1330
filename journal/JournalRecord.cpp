#include "journal/JournalRecord.h"
#include <QCryptographicHash>
#include <QDateTime>
#include <QRegularExpression>
#include <QUuid>

const QStringList& JournalRecord::Fields()
{
    static const QStringList fields = {
        "id",     "uuid",    "started", "finished", "durationMs", "station", "host",      "processId",
        "operator", "toolVersion", "origin", "command", "slot",    "port",     "usbPath",    "serial",
        "vid",    "pid",     "version", "image",    "imageSize",  "imageSha256", "records", "accepted",
        "result", "exit",    "message", "reason",   "simulated"};
    return fields;
}

namespace {
QJsonValue Text(const QString& s) { return s.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(s); }

template <class T>
QJsonValue Number(const std::optional<T>& n)
{
    return n ? QJsonValue(static_cast<qint64>(*n)) : QJsonValue(QJsonValue::Null);
}

QString CsvCell(const QJsonValue& v)
{
    QString text;
    if (v.isBool())
        text = v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    else if (v.isDouble())
        text = QString::number(v.toInteger());
    else if (v.isString())
        text = v.toString();
    if (text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r'))
        text = u'"' + QString(text).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
    return text;
}
} // namespace

QJsonValue JournalRecord::value(const QString& f) const
{
    if (f == QLatin1String("id"))
        return Number(id);
    if (f == QLatin1String("uuid"))
        return Text(uuid);
    if (f == QLatin1String("started"))
        return IsoTime(startedMs);
    if (f == QLatin1String("finished"))
        return finishedMs ? QJsonValue(IsoTime(*finishedMs)) : QJsonValue(QJsonValue::Null);
    if (f == QLatin1String("durationMs"))
        return Number(durationMs);
    if (f == QLatin1String("station"))
        return Text(station);
    if (f == QLatin1String("host"))
        return Text(host);
    if (f == QLatin1String("processId"))
        return QJsonValue(static_cast<qint64>(processId));
    if (f == QLatin1String("operator"))
        return Text(operatorName);
    if (f == QLatin1String("toolVersion"))
        return Text(toolVersion);
    if (f == QLatin1String("origin"))
        return Text(origin);
    if (f == QLatin1String("command"))
        return Text(command);
    if (f == QLatin1String("slot"))
        return Text(slot);
    if (f == QLatin1String("port"))
        return Text(port);
    if (f == QLatin1String("usbPath"))
        return Text(usbPath);
    if (f == QLatin1String("serial"))
        return Text(serial);
    if (f == QLatin1String("vid"))
        return Text(vid);
    if (f == QLatin1String("pid"))
        return Text(pid);
    if (f == QLatin1String("version"))
        return Text(version);
    if (f == QLatin1String("image"))
        return Text(image);
    if (f == QLatin1String("imageSize"))
        return Number(imageSize);
    if (f == QLatin1String("imageSha256"))
        return Text(imageSha256);
    if (f == QLatin1String("records"))
        return Number(records);
    if (f == QLatin1String("accepted"))
        return Number(accepted);
    if (f == QLatin1String("result"))
        return Text(result);
    if (f == QLatin1String("exit"))
        return Number(exit);
    if (f == QLatin1String("message"))
        return Text(message);
    if (f == QLatin1String("reason"))
        return Text(reason);
    if (f == QLatin1String("simulated"))
        return simulated;
    return QJsonValue(QJsonValue::Undefined);
}

std::vector<std::pair<QString, QJsonValue>> JournalRecord::jsonFields() const
{
    std::vector<std::pair<QString, QJsonValue>> out;
    for (const QString& f : Fields())
        out.emplace_back(f, value(f));
    return out;
}

QString JournalRecord::CsvHeader() { return Fields().join(u','); }

QString JournalRecord::csvRow() const
{
    QStringList cells;
    for (const QString& f : Fields())
        cells << CsvCell(value(f));
    return cells.join(u',');
}

QByteArray JournalRecord::sealText() const
{
    // Each field as its name, a tab, its value and a line end; the value's
    // own line ends and tabs escaped, so that no two records share a text.
    QByteArray out;
    for (const QString& f : Fields()) {
        if (f == QLatin1String("id"))
            continue;
        QString v = CsvCell(value(f));
        v.replace(u'\\', QStringLiteral("\\\\")).replace(u'\t', QStringLiteral("\\t")).replace(u'\n', QStringLiteral("\\n"));
        out += f.toUtf8() + '\t' + v.toUtf8() + '\n';
    }
    out += "seq\t" + QByteArray::number(seq.value_or(0)) + '\n';
    return out;
}

QString JournalRecord::computeLink() const
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(prevLink.toLatin1());
    h.addData("\n");
    h.addData(sealText());
    return QString::fromLatin1(h.result().toHex());
}

QString JournalRecord::IsoTime(std::int64_t ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'"));
}

bool JournalRecord::ParseTime(const QString& text, std::int64_t& ms)
{
    // Read as UTC fields, never through the local time zone.
    const QStringList parts = text.split(u'T');
    const QDate date = QDate::fromString(parts.first(), QStringLiteral("yyyy-MM-dd"));
    QTime time(0, 0);
    if (parts.size() == 2) {
        if (!parts[1].endsWith(u'Z'))
            return false;
        const QString clock = parts[1].chopped(1);
        time = QTime::fromString(clock, clock.contains(u'.') ? QStringLiteral("HH:mm:ss.zzz") : QStringLiteral("HH:mm:ss"));
    }
    if (!date.isValid() || !time.isValid() || parts.size() > 2)
        return false;
    ms = QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch();
    return true;
}

QString JournalRecord::Id(const QString& text)
{
    static const QRegularExpression id(QStringLiteral("^[0-9A-Fa-f]{4}$"));
    return id.match(text).hasMatch() ? text.toLower() : QString();
}

QString JournalRecord::NewUuid() { return QUuid::createUuid().toString(QUuid::WithoutBraces); }
