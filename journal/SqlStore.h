#pragma once
#include "journal/JournalStore.h"
#include <QSqlDatabase>
#include <QString>

class QSqlQuery;

// The part of a journal store that is plain SQL through Qt SQL, the same on
// SQLite and on PostgreSQL: the records table, its writes, queries and the
// check of the seals. Each store opens its own named connection on the thread
// that uses it and closes it when destroyed. The schema differs only where
// the two databases differ (the id column, the schema version, the lock a
// completion takes), which the subclasses give.
class SqlStore : public JournalStore {
public:
    ~SqlStore() override;

    bool insert(JournalRecord& r) override;
    bool complete(JournalRecord& r) override;
    bool running(const QString& host, std::vector<JournalRecord>& out) override;
    bool query(const HistoryFilter& filter, std::vector<JournalRecord>& out) override;
    bool verify(VerifyResult& out) override;

    // The records not yet forwarded to a line database as they stand now,
    // oldest first, at most limit of them.
    bool unforwarded(int limit, std::vector<JournalRecord>& out);
    // Marks the record of uuid forwarded, if its result is still result (a
    // completion meanwhile needs forwarding again).
    bool markForwarded(const QString& uuid, const QString& result);

    // Several writes as one: begin() (with the store's write lock), then
    // commit(), or rollback() when one failed.
    bool begin() { return exec(QStringLiteral("BEGIN"), QStringLiteral("cannot begin a transaction")); }
    bool commit() { return exec(QStringLiteral("COMMIT"), QStringLiteral("cannot commit a transaction")); }
    void rollback();

    // The schema version this tool writes.
    static constexpr int SCHEMA_VERSION = 2;

protected:
    explicit SqlStore(const QString& driver);

    // Begins the transaction that completes a record of station: it must
    // hold the store's write lock (or the station's) from its first read.
    virtual bool beginSeal(const QString& station) = 0;
    // The id column's type ("INTEGER PRIMARY KEY AUTOINCREMENT", ...).
    virtual QString idColumn() const = 0;
    // Runs one statement; false with problem() set when it fails.
    bool exec(QSqlQuery& q, const QString& what);
    bool exec(const QString& sql, const QString& what);
    // Records a failure of the database (what was tried, the driver's words).
    bool fail(const QString& what, const QString& error);
    // The statements that bring a store from schema version `from` to the
    // next one, from 0 (empty) up.
    QStringList migration(int from) const;

    QString m_name;  // the connection's name
    QSqlDatabase m_db;

private:
    static JournalRecord FromQuery(const QSqlQuery& q);
};
