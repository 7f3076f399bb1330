#include "journal/Journal.h"
#include "journal/JournalStore.h"
#include <QDateTime>
#include <QFile>
#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {
// When this host last started, in ms since the epoch; 0 when unknown.
std::int64_t BootTimeMs()
{
    QFile f(QStringLiteral("/proc/stat"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("btime "))
            return line.mid(6).trimmed().toLongLong() * 1000;
    return 0;
}

// When process pid started, in ms since the epoch; -1 when it does not run.
std::int64_t ProcessStartMs(std::int64_t pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM ? 0 : -1;
    // The command name may hold blanks: the fields after it follow its ')'.
    const QByteArray text = f.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20)
        return 0;
    const long ticks = ::sysconf(_SC_CLK_TCK);
    return BootTimeMs() + fields[19].toLongLong() * 1000 / (ticks > 0 ? ticks : 100);
}
} // namespace

Journal::Journal(StoreMaker makeStore, Identity identity, QObject* parent)
    : QObject(parent), m_makeStore(std::move(makeStore)), m_identity(std::move(identity))
{
    m_thread = std::thread([this] { run(); });
}

Journal::~Journal()
{
    // What was written here is forwarded next time: only the local writes
    // are waited for.
    m_stopForwarding = true;
    drain(DRAIN_MS);
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

JournalRecord Journal::record(const QString& command) const
{
    JournalRecord r;
    r.uuid = JournalRecord::NewUuid();
    r.startedMs = QDateTime::currentMSecsSinceEpoch();
    r.station = m_identity.station;
    r.host = m_identity.host;
    r.processId = ::getpid();
    r.operatorName = m_identity.operatorName;
    r.toolVersion = m_identity.toolVersion;
    r.origin = m_identity.origin;
    r.simulated = m_identity.simulated;
    r.command = command;
    return r;
}

void Journal::begin(const JournalRecord& r)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back({Job::Kind::Begin, r});
        ++m_queued;
    }
    m_wake.notify_one();
}

void Journal::finish(const JournalRecord& r)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back({Job::Kind::Finish, r});
        ++m_queued;
    }
    m_wake.notify_one();
}

bool Journal::drain(int ms)
{
    std::unique_lock lock(m_mutex);
    const std::uint64_t target = m_queued;
    return m_idle.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_done >= target; });
}

bool Journal::Abandoned(const JournalRecord& r, const QString& host)
{
    if (r.result != QLatin1String("running") || r.host != host)
        return false;
    const std::int64_t boot = BootTimeMs();
    if (boot > 0 && r.startedMs < boot)
        return true;
    // A process of that number that started after the record is another one.
    const std::int64_t started = ProcessStartMs(r.processId);
    return started < 0 || started > r.startedMs + 1000;
}

void Journal::run()
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
            if (m_jobs.empty())
                break;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        handle(job);
        {
            std::lock_guard lock(m_mutex);
            ++m_done;
        }
        m_idle.notify_all();
    }
    m_store.reset();  // its connection closes on the thread that opened it
}

void Journal::tell(const QString& text)
{
    if (text.isEmpty() || m_told.contains(text))
        return;
    m_told.insert(text);
    emit problem(text);
}

bool Journal::haveStore()
{
    if (m_store)
        return true;
    if (m_storeRefused)
        return false;
    std::unique_ptr<JournalStore> store = m_makeStore();
    if (!store)
        return false;
    const bool opened = store->open(true);
    for (const QString& notice : store->takeNotices())
        tell(notice);
    if (!opened) {
        tell(store->problem());
        // A newer schema stays newer: the store is not tried again.
        m_storeRefused = store->problem().contains(QLatin1String("newer schema"));
        return false;
    }
    m_store = std::move(store);
    return true;
}

void Journal::completeAbandoned()
{
    std::vector<JournalRecord> running;
    if (!m_store->running(m_identity.host, running)) {
        tell(m_store->problem());
        return;
    }
    for (JournalRecord& r : running) {
        if (!Abandoned(r, m_identity.host))
            continue;
        r.result = QStringLiteral("interrupted");
        r.reason = AbandonedReason();
        if (!m_store->complete(r))
            tell(m_store->problem());
    }
}

void Journal::handle(Job& job)
{
    if (!haveStore())
        return;
    JournalRecord& r = job.record;
    if (job.kind == Job::Kind::Begin) {
        completeAbandoned();
        if (m_store->insert(r))
            m_inserted.insert(r.uuid);
        else
            tell(m_store->problem());
        forward();
        return;
    }
    // A record whose start could not be written is written whole at its end.
    if (!m_inserted.contains(r.uuid)) {
        JournalRecord start = r;
        start.result = QStringLiteral("running");
        if (!m_store->insert(start)) {
            tell(m_store->problem());
            return;
        }
    }
    m_inserted.remove(r.uuid);
    if (!m_store->complete(r))
        tell(m_store->problem());
    forward();
}

void Journal::forward()
{
    if (!m_stopForwarding && !m_store->forwardWaiting(m_stopForwarding))
        tell(m_store->problem());
}
