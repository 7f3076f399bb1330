#pragma once
// A throwaway PostgreSQL server of the test's own: a cluster made with
// initdb in a temporary folder, started with pg_ctl, reached through a
// socket in that folder only (listen_addresses is empty), never the
// cluster the package itself makes. As root it runs as the postgres user the
// package creates. Stopped and removed when the object goes.
#include <QString>
#include <QTemporaryDir>

class PgServer {
public:
    PgServer();
    ~PgServer();

    // Makes the cluster and starts it. False, with why(), when the server's
    // programs are not installed or it will not start.
    bool start();
    // Stops and starts the running cluster (its data stays).
    bool stop();
    bool restart();

    // Why start() failed; with missing() the programs are not installed.
    QString why() const { return m_why; }
    bool missing() const { return m_missing; }

    // A database of the cluster, made on first use, as a URL for the tool.
    QString url(const QString& database = QStringLiteral("line")) const;
    // Runs sql on database through psql; its output, or a null string when
    // psql fails.
    QString psql(const QString& sql, const QString& database = QStringLiteral("line")) const;

private:
    bool run(const QString& program, const QStringList& args, QString* out = nullptr) const;

    QTemporaryDir m_dir;
    QString m_bin;
    QString m_why;
    bool m_missing = false;
    bool m_running = false;
};
