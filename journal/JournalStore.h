#pragma once
#include "journal/JournalRecord.h"
#include <QString>
#include <QStringList>
#include <atomic>
#include <optional>
#include <vector>

// What `history` asks for: every filter that is set must hold. Records come
// newest first (by start), at most limit of them (negative: every one).
struct HistoryFilter {
    QString serial, usbPath, port, station, result;
    std::optional<std::int64_t> sinceMs;
    int limit = -1;
};

// What `history verify` found: how many sealed records were checked, and the
// first whose seal is broken (none when ok).
struct VerifyResult {
    bool ok = true;
    int checked = 0;
    std::optional<std::int64_t> brokenId;
    QString brokenUuid;
    QString why;
};

// A journal's store: where records are written and read. One thread uses an
// object (the journal's own thread, or a reading command's main thread): a
// database connection belongs to the thread that opened it. Every call
// returns false with problem() set when the store cannot do it; the caller
// decides what the user sees.
class JournalStore {
public:
    virtual ~JournalStore() = default;

    // Opens the store; with create, makes it (and its folder) when there is
    // none and migrates an older schema. Without create, a store that does
    // not exist gives false with an empty problem().
    virtual bool open(bool create) = 0;
    // Writes r as a new record (result running) and sets its id.
    virtual bool insert(JournalRecord& r) = 0;
    // Completes the record of r's uuid, still running, in place with r's
    // fields, sealed to the record its station completed last: r's seq,
    // prevLink and link are set in the same transaction that reads the
    // predecessor, so two writers of one station never share one.
    virtual bool complete(JournalRecord& r) = 0;
    // The records of running operations written on host, oldest first.
    virtual bool running(const QString& host, std::vector<JournalRecord>& out) = 0;
    virtual bool query(const HistoryFilter& filter, std::vector<JournalRecord>& out) = 0;
    virtual bool verify(VerifyResult& out) = 0;
    // After a write: sends on what waits for another store (a line's
    // database), until it is all sent or stop is set. False, with problem(),
    // when something could not be sent; true when nothing waits (always, for
    // a store that forwards nothing).
    virtual bool forwardWaiting(const std::atomic<bool>& stop)
    {
        (void)stop;
        return true;
    }

    QString problem() const { return m_problem; }
    // Things the user should hear of although the call worked (a damaged
    // file moved aside); each is given once.
    QStringList takeNotices()
    {
        QStringList out;
        out.swap(m_notices);
        return out;
    }

protected:
    QString m_problem;
    QStringList m_notices;
};
