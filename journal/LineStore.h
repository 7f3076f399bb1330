#pragma once
#include "journal/JournalStore.h"
#include <QElapsedTimer>
#include <atomic>
#include <memory>

class PgStore;
class SqliteStore;

// A station's journal on a line: every record is written to the station's
// own SQLite store first (which seals it), then forwarded to the line's
// PostgreSQL database; what does not arrive stays marked and goes at the
// next connection that works (or by `history sync`). Forwarding is by uuid,
// so a record sent twice is stored once and a row left running is completed
// in place. An operation never waits for the server: this store runs on the
// journal's own thread. After the server could not be reached it is tried
// again only after RETRY_MS.
class LineStore : public JournalStore {
public:
    static constexpr int RETRY_MS = 10000;

    LineStore(const QString& localPath, const QString& url);
    ~LineStore() override;

    bool open(bool create) override;
    bool insert(JournalRecord& r) override;
    bool complete(JournalRecord& r) override;
    bool running(const QString& host, std::vector<JournalRecord>& out) override;
    bool query(const HistoryFilter& filter, std::vector<JournalRecord>& out) override;
    bool verify(VerifyResult& out) override;
    bool forwardWaiting(const std::atomic<bool>& stop) override
    {
        int forwarded = 0;
        return forward(forwarded, &stop);
    }

    // Forwards what waits, oldest first, until all has arrived or the server
    // fails or stop is set. Returns true when nothing waits any more;
    // forwarded counts what arrived.
    bool forward(int& forwarded, const std::atomic<bool>* stop = nullptr);
    // Why the server failed last (see PgStore::Failure); none when it did not.
    int serverFailure() const;

private:
    bool connected();

    std::unique_ptr<SqliteStore> m_local;
    std::unique_ptr<PgStore> m_line;
    QString m_url;
    bool m_up = false;
    QElapsedTimer m_sinceFailure;
    int m_failure = 0;
};
