#include "journal/LineStore.h"
#include "journal/PgStore.h"
#include "journal/SqliteStore.h"

LineStore::LineStore(const QString& localPath, const QString& url)
    : m_local(std::make_unique<SqliteStore>(localPath)), m_url(url)
{
}

LineStore::~LineStore() = default;

bool LineStore::open(bool create)
{
    const bool opened = m_local->open(create);
    m_notices += m_local->takeNotices();
    if (!opened)
        m_problem = m_local->problem();
    return opened;
}

bool LineStore::connected()
{
    if (m_up)
        return true;
    if (m_sinceFailure.isValid() && m_sinceFailure.elapsed() < RETRY_MS)
        return false;
    m_line = std::make_unique<PgStore>(m_url);
    if (m_line->open(true)) {
        m_up = true;
        m_failure = 0;
        m_sinceFailure.invalidate();
        return true;
    }
    m_problem = m_line->problem() + QStringLiteral("; the records are kept on this station and forwarded later");
    m_failure = static_cast<int>(m_line->failure());
    m_line.reset();
    m_sinceFailure.start();
    return false;
}

bool LineStore::forward(int& forwarded, const std::atomic<bool>* stop)
{
    forwarded = 0;
    if (!connected())
        return false;
    for (;;) {
        std::vector<JournalRecord> waiting;
        if (!m_local->unforwarded(200, waiting)) {
            m_problem = m_local->problem();
            return false;
        }
        if (waiting.empty())
            return true;
        if (stop && *stop)
            return false;
        // A batch arrives whole or not at all; then it is marked here, also
        // as a whole (a batch sent twice is stored once: by uuid).
        bool sent = m_line->begin();
        for (std::size_t i = 0; sent && i < waiting.size(); ++i)
            sent = m_line->upsert(waiting[i]);
        if (!sent || !m_line->commit()) {
            m_line->rollback();
            m_problem = m_line->problem() + QStringLiteral("; the records are kept on this station and forwarded later");
            m_failure = static_cast<int>(m_line->failure());
            m_up = false;
            m_line.reset();
            m_sinceFailure.start();
            return false;
        }
        bool marked = m_local->begin();
        for (std::size_t i = 0; marked && i < waiting.size(); ++i)
            marked = m_local->markForwarded(waiting[i].uuid, waiting[i].result);
        if (!marked || !m_local->commit()) {
            m_local->rollback();
            m_problem = m_local->problem();
            return false;
        }
        forwarded += int(waiting.size());
    }
}

int LineStore::serverFailure() const { return m_failure; }

bool LineStore::insert(JournalRecord& r)
{
    if (!m_local->insert(r)) {
        m_problem = m_local->problem();
        return false;
    }
    return true;
}

bool LineStore::complete(JournalRecord& r)
{
    if (!m_local->complete(r)) {
        m_problem = m_local->problem();
        return false;
    }
    return true;
}

bool LineStore::running(const QString& host, std::vector<JournalRecord>& out)
{
    if (m_local->running(host, out))
        return true;
    m_problem = m_local->problem();
    return false;
}

bool LineStore::query(const HistoryFilter& filter, std::vector<JournalRecord>& out)
{
    if (m_local->query(filter, out))
        return true;
    m_problem = m_local->problem();
    return false;
}

bool LineStore::verify(VerifyResult& out)
{
    if (m_local->verify(out))
        return true;
    m_problem = m_local->problem();
    return false;
}
