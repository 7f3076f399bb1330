#include "journal/SqliteStore.h"
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace {
// SQLite's result codes for a file that is not a database, or is damaged.
constexpr int SQLITE_CORRUPT = 11;
constexpr int SQLITE_NOTADB = 26;

bool Damaged(const QSqlError& e)
{
    const int code = e.nativeErrorCode().toInt();
    return code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
}
} // namespace

SqliteStore::SqliteStore(const QString& path) : SqlStore(QStringLiteral("QSQLITE")), m_path(path) {}

bool SqliteStore::connect(bool create)
{
    m_db.close();
    m_db.setDatabaseName(m_path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1%2")
                               .arg(BUSY_MS)
                               .arg(create ? QString() : QStringLiteral(";QSQLITE_OPEN_READONLY")));
    if (!m_db.open())
        return fail(QStringLiteral("cannot open %1").arg(m_path), m_db.lastError().text());
    return true;
}

bool SqliteStore::open(bool create)
{
    m_problem.clear();
    if (!QFileInfo::exists(m_path)) {
        if (!create)
            return false;
        const QString dir = QFileInfo(m_path).absolutePath();
        if (!QDir().mkpath(dir))
            return fail(QStringLiteral("cannot make the folder %1").arg(dir), QString());
    }
    if (!connect(create))
        return false;
    // The first statement reads the file's header: a file that is no
    // database says so here.
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("PRAGMA user_version"))) {
        const QSqlError e = q.lastError();
        q.finish();
        if (!create || !Damaged(e))
            return fail(QStringLiteral("cannot read %1").arg(m_path), e.text());
        if (!moveAside() || !connect(true))
            return false;
    }
    q.finish();
    if (!create)
        return true;
    if (!exec(QStringLiteral("PRAGMA journal_mode = WAL"), QStringLiteral("cannot set up %1").arg(m_path)) ||
        !exec(QStringLiteral("PRAGMA synchronous = FULL"), QStringLiteral("cannot set up %1").arg(m_path)))
        return false;
    return migrate();
}

bool SqliteStore::moveAside()
{
    m_db.close();
    const QString aside = m_path + QStringLiteral(".damaged-") +
                          QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    for (const char* suffix : {"", "-wal", "-shm"}) {
        const QString from = m_path + QLatin1String(suffix);
        if (QFile::exists(from) && !QFile::rename(from, aside + QLatin1String(suffix)))
            return fail(QStringLiteral("%1 is damaged and cannot be moved aside").arg(m_path), QString());
    }
    m_notices << QStringLiteral("%1 was damaged; it was moved aside to %2 and a new one was started").arg(m_path, aside);
    return true;
}

bool SqliteStore::migrate()
{
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return fail(QStringLiteral("cannot read %1").arg(m_path), q.lastError().text());
    int version = q.value(0).toInt();
    q.finish();
    if (version > SCHEMA_VERSION)
        return fail(QStringLiteral("%1 has a newer schema (version %2) than this tool knows (%3); nothing is written "
                                   "there")
                        .arg(m_path)
                        .arg(version)
                        .arg(SCHEMA_VERSION),
                    QString());
    if (version == SCHEMA_VERSION)
        return true;
    // One writer migrates; another that waited finds the work done.
    if (!exec(QStringLiteral("BEGIN IMMEDIATE"), QStringLiteral("cannot migrate %1").arg(m_path)))
        return false;
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        exec(QStringLiteral("ROLLBACK"), QString());
        return fail(QStringLiteral("cannot read %1").arg(m_path), q.lastError().text());
    }
    version = q.value(0).toInt();
    q.finish();
    for (; version < SCHEMA_VERSION; ++version) {
        for (const QString& sql : migration(version)) {
            if (!exec(sql, QStringLiteral("cannot migrate %1 from version %2").arg(m_path).arg(version))) {
                const QString why = m_problem;
                exec(QStringLiteral("ROLLBACK"), QString());
                m_problem = why;
                return false;
            }
        }
    }
    return exec(QStringLiteral("PRAGMA user_version = %1").arg(SCHEMA_VERSION),
                QStringLiteral("cannot migrate %1").arg(m_path)) &&
           exec(QStringLiteral("COMMIT"), QStringLiteral("cannot migrate %1").arg(m_path));
}

bool SqliteStore::beginSeal(const QString&)
{
    // The write lock from the first read: another process's completion waits.
    return exec(QStringLiteral("BEGIN IMMEDIATE"), QStringLiteral("cannot lock %1").arg(m_path));
}
