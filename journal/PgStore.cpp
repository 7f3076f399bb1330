#include "journal/PgStore.h"
#include "journal/JournalTarget.h"
#include <QSqlError>
#include <QUrl>
#include <QUrlQuery>
#include <QSqlQuery>
#include <QVariant>

namespace {
// The lock every station takes to make or migrate the tables.
constexpr qint64 MIGRATION_LOCK = 0x6d6f7276;  // "morv"
} // namespace

PgStore::PgStore(const QString& url) : SqlStore(QStringLiteral("QPSQL")), m_url(url) {}

bool PgStore::failed(const QString& what, const QString& error)
{
    // libpq says "timeout expired" when the server took no part in the
    // exchange within the bound; anything else at connecting is a refusal.
    m_failure = error.contains(QLatin1String("timeout expired")) ? Failure::TimedOut
                : m_failure == Failure::None                      ? Failure::Other
                                                                  : m_failure;
    return fail(what, error);
}

bool PgStore::open(bool create)
{
    m_problem.clear();
    m_failure = Failure::None;
    // The URL in libpq's form, taken apart as libpq would: user, password,
    // host (or ?host= for a socket folder), port, the database, and any
    // other parameter as a connection option. Without a password, libpq
    // looks in ~/.pgpass and PGPASSWORD.
    const QUrl url(m_url);
    const QUrlQuery query(url);
    m_db.setUserName(url.userName());
    m_db.setPassword(url.password());
    m_db.setHostName(query.hasQueryItem(QStringLiteral("host")) ? query.queryItemValue(QStringLiteral("host"))
                                                                 : url.host());
    if (url.port() > 0)
        m_db.setPort(url.port());
    m_db.setDatabaseName(url.path().mid(1));
    QStringList options{QStringLiteral("connect_timeout=%1").arg(TIMEOUT_MS / 1000)};
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded))
        if (key != QLatin1String("host") && key != QLatin1String("connect_timeout"))
            options << key + u'=' + value;
    m_db.setConnectOptions(options.join(u';'));
    JournalTarget shown;
    shown.kind = JournalTarget::Kind::Line;
    shown.where = m_url;
    if (!m_db.open()) {
        const QString error = m_db.lastError().text();
        m_failure = error.contains(QLatin1String("timeout expired")) ? Failure::TimedOut : Failure::Unreachable;
        return fail(QStringLiteral("cannot reach the line database %1").arg(shown.shown()), error);
    }
    // No statement may wait longer than the bound either, and the server's
    // notices ("already exists, skipping") are not the user's business.
    if (!exec(QStringLiteral("SET statement_timeout = %1").arg(TIMEOUT_MS), QStringLiteral("cannot set up the line database")) ||
        !exec(QStringLiteral("SET client_min_messages = warning"), QStringLiteral("cannot set up the line database")))
        return false;
    return !create || migrate();
}

bool PgStore::migrate()
{
    if (!exec(QStringLiteral("BEGIN"), QStringLiteral("cannot set up the line database")))
        return false;
    auto rollback = [this] { QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK")); };
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(MIGRATION_LOCK)) ||
        !q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS morvax_journal_schema (version INTEGER NOT NULL)")) ||
        !q.exec(QStringLiteral("SELECT version FROM morvax_journal_schema"))) {
        const QString error = q.lastError().text();
        rollback();
        return failed(QStringLiteral("cannot set up the line database"), error);
    }
    const bool known = q.next();
    int version = known ? q.value(0).toInt() : 0;
    q.finish();
    if (version > SCHEMA_VERSION) {
        rollback();
        return fail(QStringLiteral("the line database has a newer schema (version %1) than this tool knows (%2); "
                                   "nothing is written there")
                        .arg(version)
                        .arg(SCHEMA_VERSION),
                    QString());
    }
    for (; version < SCHEMA_VERSION; ++version)
        for (const QString& sql : migration(version))
            if (!exec(sql, QStringLiteral("cannot migrate the line database from version %1").arg(version))) {
                const QString why = m_problem;
                rollback();
                m_problem = why;
                return false;
            }
    const QString record = known ? QStringLiteral("UPDATE morvax_journal_schema SET version = %1")
                                 : QStringLiteral("INSERT INTO morvax_journal_schema (version) VALUES (%1)");
    return exec(record.arg(SCHEMA_VERSION), QStringLiteral("cannot migrate the line database")) &&
           exec(QStringLiteral("COMMIT"), QStringLiteral("cannot migrate the line database"));
}

bool PgStore::beginSeal(const QString& station)
{
    // The station's own lock: its completions one at a time, others' beside.
    if (!exec(QStringLiteral("BEGIN"), QStringLiteral("cannot lock the line database")))
        return false;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT pg_advisory_xact_lock(hashtext(?))"));
    q.addBindValue(station);
    return exec(q, QStringLiteral("cannot lock the line database"));
}

bool PgStore::upsert(const JournalRecord& r)
{
    static const QStringList COLUMNS = {
        "uuid",      "started",  "finished", "duration_ms", "station", "host",    "process_id", "operator",
        "tool_version", "origin", "command", "slot",        "port",    "usb_path", "serial",    "vid",
        "pid",       "version",  "image",    "image_size",  "image_sha256", "records", "accepted", "result",
        "exit_status", "message", "reason",  "simulated",   "seq",     "prev_link", "link"};
    QStringList updates;
    for (const QString& c : COLUMNS)
        if (c != QLatin1String("uuid") && c != QLatin1String("started") && c != QLatin1String("host") &&
            c != QLatin1String("process_id"))
            updates << QStringLiteral("%1 = EXCLUDED.%1").arg(c);
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT INTO morvax_journal (%1) VALUES (%2) ON CONFLICT (uuid) DO UPDATE SET %3 "
                             "WHERE morvax_journal.result = 'running'")
                  .arg(COLUMNS.join(QStringLiteral(", ")), QStringList(COLUMNS.size(), QStringLiteral("?")).join(u','),
                       updates.join(QStringLiteral(", "))));
    auto text = [](const QString& s) { return s.isEmpty() ? QVariant() : QVariant(s); };
    auto num = [](const auto& v) { return v ? QVariant(qint64(*v)) : QVariant(); };
    for (const QVariant& v :
         {QVariant(r.uuid), QVariant(qint64(r.startedMs)), num(r.finishedMs), num(r.durationMs), QVariant(r.station),
          QVariant(r.host), QVariant(qint64(r.processId)), text(r.operatorName), text(r.toolVersion), text(r.origin),
          text(r.command), text(r.slot), text(r.port), text(r.usbPath), text(r.serial), text(r.vid), text(r.pid),
          text(r.version), text(r.image), num(r.imageSize), text(r.imageSha256), num(r.records), num(r.accepted),
          QVariant(r.result), num(r.exit), text(r.message), text(r.reason), QVariant(r.simulated ? 1 : 0), num(r.seq),
          text(r.prevLink), text(r.link)})
        q.addBindValue(v);
    if (q.exec())
        return true;
    return failed(QStringLiteral("cannot forward record %1").arg(r.uuid), q.lastError().text());
}
