#include "app/StatusRecorder.h"
#include "operations/ModeCommand.h"
#include "operations/StatusReportParser.h"
#include "platform/ThreadClock.h"
#include "serial/SerialTransport.h"
#include <QDateTime>

StatusRecorder::StatusRecorder(Clock& mainClock, QObject* parent) : QObject(parent), m_mainClock(mainClock) {}

StatusRecorder::~StatusRecorder()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

bool StatusRecorder::start(const QString& portName, const char* lineSettings)
{
    if (m_running)
        return false;
    if (m_thread.joinable())
        m_thread.join();
    m_stop = false;
    m_received = 0;
    m_outcome = {};
    m_hitLimit = false;
    m_sent = false;
    m_running = true;
    m_thread = std::thread([this, portName, settings = QByteArray(lineSettings)] { run(portName, settings); });
    return true;
}

void StatusRecorder::stop() { m_stop = true; }

std::vector<StatusSample> StatusRecorder::take()
{
    std::vector<StatusSample> out;
    std::lock_guard lock(m_mutex);
    out.swap(m_inbox);
    return out;
}

void StatusRecorder::run(const QString& portName, const QByteArray& lineSettings)
{
    ThreadClock clock(m_mainClock);
    SerialTransport transport(clock);
    StatusReportParser parser;
    transport.lineSettings().choose(lineSettings.constData());
    // Reads take what has come and wait at most PUMP_WAIT_MS for more; the
    // thread sleeps READ_SLICE_MS between them. A controller that streams
    // thus costs a read every slice, not a wake-up for every line, and a
    // report waits at most a slice (and a stop is seen as soon).
    transport.setReadTimeoutMs(PUMP_WAIT_MS);
    transport.setPumpIdleMs(PUMP_WAIT_MS);
    if (transport.OpenComPort(portName) == 0) {
        const std::int64_t firstByteMs = clock.nowMs();
        const std::int64_t firstByteUtcMs = QDateTime::currentMSecsSinceEpoch();
        const ModeCommand& n = ModeCommand::get(ModeCommand::N);
        m_sent = true;
        for (const char* b = n.bytes; *b && m_sent; ++b) {
            m_sent = transport.WriteComByte(static_cast<unsigned char>(*b)) == 1;
            clock.sleepMs(ModeCommand::BYTE_PAUSE_MS);
        }
        std::vector<StatusSample> batch;
        while (m_sent && !m_stop && transport.failure().ok()) {
            if (clock.nowMs() - firstByteMs >= LIMIT_MS) {
                m_hitLimit = true;
                break;
            }
            clock.sleepMs(READ_SLICE_MS);
            transport.PumpComReceive();
            const std::int64_t received = clock.nowMs();
            parser.ParseStatusReports(transport.ring(), received, [&](const StatusReport& r) {
                batch.push_back(StatusSample::From(r, received - firstByteMs, firstByteUtcMs));
            });
            if (batch.empty())
                continue;
            {
                std::lock_guard lock(m_mutex);
                m_inbox.insert(m_inbox.end(), batch.begin(), batch.end());
            }
            m_received += static_cast<qint64>(batch.size());
            batch.clear();
        }
    }
    m_outcome = transport.failure();
    transport.CloseComPort();
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_thread.joinable())
                m_thread.join();
            m_running = false;
            emit finished();
        },
        Qt::QueuedConnection);
}
