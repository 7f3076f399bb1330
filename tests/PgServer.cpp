#include "PgServer.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <pwd.h>
#include <unistd.h>

namespace {
// The newest server's programs of the Debian layout; empty when none.
QString ServerBin()
{
    const QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot,
                                                                                       QDir::Name | QDir::Reversed);
    for (const QString& v : versions) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(v);
        if (QFile::exists(bin + QStringLiteral("/initdb")) && QFile::exists(bin + QStringLiteral("/pg_ctl")))
            return bin;
    }
    return {};
}
} // namespace

PgServer::PgServer() : m_bin(ServerBin()) {}

PgServer::~PgServer()
{
    if (m_running)
        stop();
}

bool PgServer::run(const QString& program, const QStringList& args, QString* out) const
{
    QProcess p;
    // The server refuses to run as root: as root, it runs as postgres.
    if (::getuid() == 0)
        p.start(QStringLiteral("runuser"), QStringList{"-u", "postgres", "--", program} + args);
    else
        p.start(program, args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        return false;
    }
    if (out)
        *out = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool PgServer::start()
{
    if (m_bin.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("psql")).isEmpty()) {
        m_missing = true;
        m_why = QStringLiteral("no PostgreSQL server programs in /usr/lib/postgresql/*/bin");
        return false;
    }
    if (::getuid() == 0) {
        const passwd* pw = ::getpwnam("postgres");
        if (!pw || ::chown(QFile::encodeName(m_dir.path()).constData(), pw->pw_uid, pw->pw_gid) != 0) {
            m_why = QStringLiteral("no postgres user to run the server as");
            return false;
        }
    }
    const QString data = m_dir.filePath(QStringLiteral("data"));
    QString out;
    if (!run(m_bin + QStringLiteral("/initdb"), {"-D", data, "-A", "trust", "-U", "postgres", "--no-sync"}, &out)) {
        m_why = QStringLiteral("initdb failed: ") + out;
        return false;
    }
    if (!restart())
        return false;
    if (psql(QStringLiteral("CREATE DATABASE line"), QStringLiteral("postgres")).isNull()) {
        m_why = QStringLiteral("cannot make the database");
        return false;
    }
    return true;
}

bool PgServer::stop()
{
    m_running = false;
    return run(m_bin + QStringLiteral("/pg_ctl"), {"-D", m_dir.filePath(QStringLiteral("data")), "-m", "fast", "-w", "stop"});
}

bool PgServer::restart()
{
    QString out;
    const QString options = QStringLiteral("-c listen_addresses='' -c unix_socket_directories=%1 -c fsync=off").arg(m_dir.path());
    m_running = run(m_bin + QStringLiteral("/pg_ctl"),
                    {"-D", m_dir.filePath(QStringLiteral("data")), "-o", options, "-l",
                     m_dir.filePath(QStringLiteral("server.log")), "-w", "start"},
                    &out);
    if (!m_running)
        m_why = QStringLiteral("the server did not start: ") + out;
    return m_running;
}

QString PgServer::url(const QString& database) const
{
    return QStringLiteral("postgresql://postgres@/%1?host=%2").arg(database, m_dir.path());
}

QString PgServer::psql(const QString& sql, const QString& database) const
{
    QProcess p;
    p.start(QStringLiteral("psql"), {"-X", "-q", "-t", "-A", "-h", m_dir.path(), "-U", "postgres", "-d", database, "-c", sql});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QString();
    // Empty but not null: psql answered.
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    return out.isNull() ? QStringLiteral("") : out;
}
