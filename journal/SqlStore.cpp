#include "journal/SqlStore.h"
#include <QAtomicInteger>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace {
// Columns in the order FromQuery reads them.
const char* const COLUMNS =
    "id, uuid, started, finished, duration_ms, station, host, process_id, operator, tool_version, origin, command, "
    "slot, port, usb_path, serial, vid, pid, version, image, image_size, image_sha256, records, accepted, result, "
    "exit_status, message, reason, simulated, seq, prev_link, link";

QVariant Opt(const std::optional<std::int64_t>& v) { return v ? QVariant(qint64(*v)) : QVariant(); }
QVariant Opt(const std::optional<int>& v) { return v ? QVariant(*v) : QVariant(); }
QVariant Text(const QString& s) { return s.isEmpty() ? QVariant() : QVariant(s); }

std::optional<std::int64_t> Int64(const QVariant& v)
{
    return v.isNull() ? std::nullopt : std::optional<std::int64_t>(v.toLongLong());
}
std::optional<int> Int(const QVariant& v) { return v.isNull() ? std::nullopt : std::optional<int>(v.toInt()); }
} // namespace

SqlStore::SqlStore(const QString& driver)
{
    // One connection per store object, on the thread that uses it.
    static QAtomicInteger<quint64> count;
    m_name = QStringLiteral("morvax-journal-%1").arg(++count);
    m_db = QSqlDatabase::addDatabase(driver, m_name);
}

SqlStore::~SqlStore()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

bool SqlStore::fail(const QString& what, const QString& error)
{
    m_problem = error.isEmpty() ? what : QStringLiteral("%1: %2").arg(what, error);
    return false;
}

bool SqlStore::exec(QSqlQuery& q, const QString& what)
{
    if (q.exec())
        return true;
    return fail(what, q.lastError().text());
}

bool SqlStore::exec(const QString& sql, const QString& what)
{
    QSqlQuery q(m_db);
    if (q.exec(sql))
        return true;
    return fail(what, q.lastError().text());
}

QStringList SqlStore::migration(int from) const
{
    switch (from) {
    case 0:
        // The first schema: one row per operation, completed in place.
        return {QStringLiteral("CREATE TABLE morvax_journal (id %1, uuid TEXT NOT NULL UNIQUE, started BIGINT NOT NULL, "
                               "finished BIGINT, duration_ms BIGINT, station TEXT NOT NULL, host TEXT NOT NULL, "
                               "process_id BIGINT NOT NULL, operator TEXT, tool_version TEXT, origin TEXT, "
                               "command TEXT, slot TEXT, port TEXT, usb_path TEXT, serial TEXT, vid TEXT, pid TEXT, "
                               "version TEXT, image TEXT, image_size BIGINT, image_sha256 TEXT, records INTEGER, "
                               "accepted INTEGER, result TEXT NOT NULL, exit_status INTEGER, message TEXT, "
                               "reason TEXT, simulated INTEGER NOT NULL, seq BIGINT, prev_link TEXT, link TEXT)")
                    .arg(idColumn()),
                QStringLiteral("CREATE UNIQUE INDEX morvax_journal_seal ON morvax_journal (station, seq)"),
                QStringLiteral("CREATE INDEX morvax_journal_serial ON morvax_journal (serial, started)"),
                QStringLiteral("CREATE INDEX morvax_journal_started ON morvax_journal (started)")};
    case 1:
        // Running records are looked for at every write; records not yet
        // forwarded to a line database are marked.
        return {QStringLiteral("CREATE INDEX morvax_journal_running ON morvax_journal (host) WHERE result = 'running'"),
                QStringLiteral("ALTER TABLE morvax_journal ADD COLUMN forwarded INTEGER NOT NULL DEFAULT 0"),
                QStringLiteral("CREATE INDEX morvax_journal_unforwarded ON morvax_journal (id) WHERE forwarded = 0")};
    default:
        return {};
    }
}

bool SqlStore::insert(JournalRecord& r)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT INTO morvax_journal (uuid, started, station, host, process_id, operator, tool_version, "
                             "origin, command, slot, port, usb_path, serial, vid, pid, version, image, image_size, "
                             "image_sha256, records, accepted, result, simulated) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const QVariant& v :
         {QVariant(r.uuid), QVariant(qint64(r.startedMs)), QVariant(r.station), QVariant(r.host),
          QVariant(qint64(r.processId)), Text(r.operatorName), Text(r.toolVersion), Text(r.origin), Text(r.command),
          Text(r.slot), Text(r.port), Text(r.usbPath), Text(r.serial), Text(r.vid), Text(r.pid), Text(r.version),
          Text(r.image), Opt(r.imageSize), Text(r.imageSha256), Opt(r.records), Opt(r.accepted), QVariant(r.result),
          QVariant(r.simulated ? 1 : 0)})
        q.addBindValue(v);
    if (!exec(q, QStringLiteral("cannot write a record")))
        return false;
    const QVariant id = q.lastInsertId();
    if (id.isValid())
        r.id = id.toLongLong();
    return true;
}

bool SqlStore::complete(JournalRecord& r)
{
    if (!beginSeal(r.station))
        return false;
    auto rollback = [this] { QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK")); };
    QSqlQuery last(m_db);
    last.prepare(QStringLiteral(
        "SELECT seq, link FROM morvax_journal WHERE station = ? AND seq IS NOT NULL ORDER BY seq DESC LIMIT 1"));
    last.addBindValue(r.station);
    if (!exec(last, QStringLiteral("cannot read the last record of the station"))) {
        rollback();
        return false;
    }
    r.seq = last.next() ? last.value(0).toLongLong() + 1 : 1;
    r.prevLink = last.isValid() ? last.value(1).toString() : QString();
    r.link = r.computeLink();

    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("UPDATE morvax_journal SET finished = ?, duration_ms = ?, operator = ?, slot = ?, port = ?, "
                             "usb_path = ?, serial = ?, vid = ?, pid = ?, version = ?, image = ?, image_size = ?, "
                             "image_sha256 = ?, records = ?, accepted = ?, result = ?, exit_status = ?, message = ?, "
                             "reason = ?, seq = ?, prev_link = ?, link = ?, forwarded = 0 WHERE uuid = ? AND result = 'running'"));
    for (const QVariant& v :
         {Opt(r.finishedMs), Opt(r.durationMs), Text(r.operatorName), Text(r.slot), Text(r.port), Text(r.usbPath),
          Text(r.serial), Text(r.vid), Text(r.pid), Text(r.version), Text(r.image), Opt(r.imageSize),
          Text(r.imageSha256), Opt(r.records), Opt(r.accepted), QVariant(r.result), Opt(r.exit), Text(r.message),
          Text(r.reason), Opt(r.seq), Text(r.prevLink), QVariant(r.link), QVariant(r.uuid)})
        q.addBindValue(v);
    if (!exec(q, QStringLiteral("cannot complete a record"))) {
        rollback();
        return false;
    }
    if (q.numRowsAffected() != 1) {
        rollback();
        return fail(QStringLiteral("cannot complete a record"),
                    QStringLiteral("no running record %1 in the store").arg(r.uuid));
    }
    return exec(QStringLiteral("COMMIT"), QStringLiteral("cannot complete a record"));
}

JournalRecord SqlStore::FromQuery(const QSqlQuery& q)
{
    JournalRecord r;
    int i = 0;
    r.id = Int64(q.value(i++));
    r.uuid = q.value(i++).toString();
    r.startedMs = q.value(i++).toLongLong();
    r.finishedMs = Int64(q.value(i++));
    r.durationMs = Int64(q.value(i++));
    r.station = q.value(i++).toString();
    r.host = q.value(i++).toString();
    r.processId = q.value(i++).toLongLong();
    r.operatorName = q.value(i++).toString();
    r.toolVersion = q.value(i++).toString();
    r.origin = q.value(i++).toString();
    r.command = q.value(i++).toString();
    r.slot = q.value(i++).toString();
    r.port = q.value(i++).toString();
    r.usbPath = q.value(i++).toString();
    r.serial = q.value(i++).toString();
    r.vid = q.value(i++).toString();
    r.pid = q.value(i++).toString();
    r.version = q.value(i++).toString();
    r.image = q.value(i++).toString();
    r.imageSize = Int64(q.value(i++));
    r.imageSha256 = q.value(i++).toString();
    r.records = Int(q.value(i++));
    r.accepted = Int(q.value(i++));
    r.result = q.value(i++).toString();
    r.exit = Int(q.value(i++));
    r.message = q.value(i++).toString();
    r.reason = q.value(i++).toString();
    r.simulated = q.value(i++).toInt() != 0;
    r.seq = Int64(q.value(i++));
    r.prevLink = q.value(i++).toString();
    r.link = q.value(i++).toString();
    return r;
}

bool SqlStore::running(const QString& host, std::vector<JournalRecord>& out)
{
    out.clear();
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM morvax_journal WHERE host = ? AND result = 'running' ORDER BY id")
                  .arg(QLatin1String(COLUMNS)));
    q.addBindValue(host);
    if (!exec(q, QStringLiteral("cannot read the running records")))
        return false;
    while (q.next())
        out.push_back(FromQuery(q));
    return true;
}

void SqlStore::rollback() { QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK")); }

bool SqlStore::unforwarded(int limit, std::vector<JournalRecord>& out)
{
    out.clear();
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM morvax_journal WHERE forwarded = 0 ORDER BY id LIMIT %2")
                  .arg(QLatin1String(COLUMNS))
                  .arg(limit));
    if (!exec(q, QStringLiteral("cannot read the records to forward")))
        return false;
    while (q.next())
        out.push_back(FromQuery(q));
    return true;
}

bool SqlStore::markForwarded(const QString& uuid, const QString& result)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("UPDATE morvax_journal SET forwarded = 1 WHERE uuid = ? AND result = ?"));
    q.addBindValue(uuid);
    q.addBindValue(result);
    return exec(q, QStringLiteral("cannot mark a record forwarded"));
}

bool SqlStore::query(const HistoryFilter& f, std::vector<JournalRecord>& out)
{
    out.clear();
    QStringList where;
    QVariantList values;
    auto match = [&](const char* column, const QString& value) {
        if (value.isEmpty())
            return;
        where << QStringLiteral("%1 = ?").arg(QLatin1String(column));
        values << value;
    };
    match("serial", f.serial);
    match("usb_path", f.usbPath);
    match("port", f.port);
    match("station", f.station);
    match("result", f.result);
    if (f.sinceMs) {
        where << QStringLiteral("started >= ?");
        values << qint64(*f.sinceMs);
    }
    QString sql = QStringLiteral("SELECT %1 FROM morvax_journal").arg(QLatin1String(COLUMNS));
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY started DESC, id DESC");
    if (f.limit >= 0)
        sql += QStringLiteral(" LIMIT %1").arg(f.limit);
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(sql);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!exec(q, QStringLiteral("cannot read the records")))
        return false;
    while (q.next())
        out.push_back(FromQuery(q));
    return true;
}

bool SqlStore::verify(VerifyResult& out)
{
    out = {};
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    // Every completed record must be sealed; within a station the sequence
    // counts from 1 without a gap and each link covers its predecessor's.
    if (!q.exec(QStringLiteral("SELECT %1 FROM morvax_journal WHERE result <> 'running' ORDER BY station, seq, id")
                    .arg(QLatin1String(COLUMNS))))
        return fail(QStringLiteral("cannot read the records"), q.lastError().text());
    QString station;
    std::int64_t expected = 1;
    QString prevLink;
    bool first = true;
    while (q.next()) {
        const JournalRecord r = FromQuery(q);
        if (first || r.station != station) {
            station = r.station;
            expected = 1;
            prevLink.clear();
            first = false;
        }
        QString why;
        if (!r.seq)
            why = QStringLiteral("it carries no seal");
        else if (*r.seq != expected)
            why = *r.seq > expected ? QStringLiteral("record %1 of station %2 is missing before it").arg(expected).arg(station)
                                    : QStringLiteral("its place %1 in station %2 is taken twice").arg(*r.seq).arg(station);
        else if (r.prevLink != prevLink)
            why = QStringLiteral("it does not follow the record before it");
        else if (r.computeLink() != r.link)
            why = QStringLiteral("its fields are not those it was sealed with");
        if (!why.isEmpty()) {
            out.ok = false;
            out.brokenId = r.id;
            out.brokenUuid = r.uuid;
            out.why = why;
            return true;
        }
        ++out.checked;
        ++expected;
        prevLink = r.link;
    }
    return true;
}
