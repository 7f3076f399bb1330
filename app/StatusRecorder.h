#pragma once
#include "operations/StatusSample.h"
#include "platform/DeviceOutcome.h"
#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class Clock;

// The status plot's Record: the "n" command held open. On a thread of its
// own, with a transport, a parser and a clock of its own, it opens the port,
// sends the "n" bytes once (as the window's "n" does) and reads whatever
// comes, report by report, until stop(), LIMIT_MS after the first byte, or a
// failure of the port. A quiet line ends nothing. While it runs it holds the
// port, so every other open of it is refused as busy.
//
// The object lives on the window's thread; start(), stop(), take() and the
// accessors are called there. The reading thread touches only what the
// mutex and the atomics guard, and finished() is delivered on the window's
// thread.
class StatusRecorder : public QObject {
    Q_OBJECT
public:
    // The pause before each read, in ms: reports that come meanwhile share
    // one read (and one receive time), and none waits longer to reach take().
    static constexpr int READ_SLICE_MS = 5;
    // How long one read waits for bytes, in ms.
    static constexpr int PUMP_WAIT_MS = 1;
    // How long a recording runs at most, in ms from its first byte.
    static constexpr std::int64_t LIMIT_MS = 3'600'000;

    // mainClock: the window's, which takes what the reading thread's clock
    // schedules.
    explicit StatusRecorder(Clock& mainClock, QObject* parent = nullptr);
    // Stops a recording and waits for its thread (one read slice at most).
    ~StatusRecorder() override;

    // Starts recording from the port named portName with the line settings
    // lineSettings (one of BaudTable's strings). False, starting nothing,
    // while a recording runs.
    bool start(const QString& portName, const char* lineSettings);
    // Asks the recording to end; finished() follows once the port is closed.
    void stop();
    // From start() until finished() is delivered.
    bool running() const { return m_running; }

    // The reports that came since the last call, oldest first.
    std::vector<StatusSample> take();
    // Reports (complete and incomplete) the recording has read so far. Any
    // thread.
    qint64 received() const { return m_received; }

    // After finished(): ok() when the recording was stopped or ran its time
    // (hitLimit()); otherwise the first thing that went wrong (the open, a
    // write of the "n" bytes, the device gone), with the port's name.
    const DeviceOutcome& outcome() const { return m_outcome; }
    bool hitLimit() const { return m_hitLimit; }
    // After finished(): whether every byte of "n" left.
    bool sent() const { return m_sent; }

signals:
    // The recording has ended and the port is closed.
    void finished();

private:
    void run(const QString& portName, const QByteArray& lineSettings);

    Clock& m_mainClock;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_received{0};
    bool m_running = false;
    std::mutex m_mutex;                // guards m_inbox
    std::vector<StatusSample> m_inbox;
    // Written by the reading thread before it ends, read after the join.
    DeviceOutcome m_outcome;
    bool m_hitLimit = false;
    bool m_sent = false;
};
