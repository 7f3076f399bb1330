#pragma once
#include "journal/SqlStore.h"

// The bench's journal: one SQLite file in WAL mode, written with
// synchronous=FULL (both writes of an operation are on the disk before it
// goes on). Several processes of one bench write it at once; a store another
// one is writing is waited for up to BUSY_MS, never taken as damaged. A file
// SQLite cannot read as a database is moved aside with its -wal and -shm
// files ("history.db.damaged-<UTC time>") and a new one is started. A file
// whose schema is newer than this tool knows is left alone. No check of the
// whole file runs at an open. Used by one thread.
class SqliteStore : public SqlStore {
public:
    static constexpr int BUSY_MS = 2000;

    explicit SqliteStore(const QString& path);
    bool open(bool create) override;

    const QString& path() const { return m_path; }

protected:
    bool beginSeal(const QString& station) override;
    QString idColumn() const override { return QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT"); }

private:
    bool connect(bool create);
    // Brings the schema up to SCHEMA_VERSION; false for a newer one.
    bool migrate();
    bool moveAside();

    QString m_path;
};
