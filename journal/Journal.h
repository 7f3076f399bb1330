#pragma once
#include "journal/JournalRecord.h"
#include <QObject>
#include <QSet>
#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class JournalStore;

// The journal the operations of one process write to. A record is begun
// when an operation starts (result running) and finished when it ends; both
// go to the store on a thread of the journal's own, fed by a queue, so an
// operation never waits for the disk or the network, and its result is never
// changed by the journal. What cannot be written is told once per cause
// through problem(), and the operations go on as before.
//
// Before each new record the journal completes, as interrupted, the records
// this host left running whose process has ended (or that were written
// before the host last started). Created, used and destroyed by one thread
// (the window's, a command's main thread); the store lives on the journal's
// thread.
class Journal : public QObject {
    Q_OBJECT
public:
    // Who writes: the same for every record of this journal.
    struct Identity {
        QString station, host, operatorName, toolVersion, origin;
        bool simulated = false;
    };
    using StoreMaker = std::function<std::unique_ptr<JournalStore>()>;

    // makeStore is called on the journal's thread when the first record
    // comes, and again after a failed open when the next one comes.
    Journal(StoreMaker makeStore, Identity identity, QObject* parent = nullptr);
    // Waits up to DRAIN_MS for what is queued to be written, then stops.
    ~Journal() override;

    static constexpr int DRAIN_MS = 5000;

    // A new record of command, started now, with the identity filled in.
    JournalRecord record(const QString& command) const;
    // Queues the record as running.
    void begin(const JournalRecord& r);
    // Queues its completion: result and the other fields as r has them now.
    void finish(const JournalRecord& r);
    // Waits up to ms until everything queued so far has been handled.
    // Returns true when it has.
    bool drain(int ms);

    const Identity& identity() const { return m_identity; }

    // Whether the record, running in the store, stands for an operation that
    // can no longer finish: written on host by a process that has ended, or
    // before host last started. False for a record of another host.
    static bool Abandoned(const JournalRecord& r, const QString& host);
    // The reason an abandoned record is completed with.
    static QString AbandonedReason() { return QStringLiteral("the process ended without finishing"); }

signals:
    // Why records could not be written, or what happened to the store
    // (emitted on the journal's thread, delivered on the owner's). Each text
    // comes once.
    void problem(const QString& text);

private:
    struct Job {
        enum class Kind { Begin, Finish } kind;
        JournalRecord record;
    };
    void run();
    void handle(Job& job);
    bool haveStore();
    void tell(const QString& text);
    void completeAbandoned();
    void forward();

    StoreMaker m_makeStore;
    Identity m_identity;
    std::unique_ptr<JournalStore> m_store;  // the journal's thread only
    bool m_storeRefused = false;            // a newer schema: nothing is written there
    QSet<QString> m_inserted;               // uuids written as running (journal's thread)
    QSet<QString> m_told;                   // problems already told (journal's thread)

    std::atomic<bool> m_stopForwarding{false};  // set when the journal closes
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_jobs;
    std::uint64_t m_queued = 0, m_done = 0;
    bool m_stop = false;
    std::thread m_thread;
};
