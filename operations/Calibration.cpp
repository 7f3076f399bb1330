#include "operations/Calibration.h"
#include "platform/Clock.h"
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace {
// Shares one opened device between its owner and a worker that may outlive
// the owner's wait: the device is closed when the last of them lets go.
class SharedHidDevice : public HidDevice {
public:
    explicit SharedHidDevice(std::shared_ptr<HidDevice> device) : m_device(std::move(device)) {}
    bool attributes(HidAttributes& out) override { return m_device->attributes(out); }
    bool caps(HidCaps& out) override { return m_device->caps(out); }
    std::string path() const override { return m_device->path(); }
    int lastError() const override { return m_device->lastError(); }
    bool setFeature(const std::uint8_t* data, std::size_t len) override { return m_device->setFeature(data, len); }
    bool getFeature(std::uint8_t* data, std::size_t len) override { return m_device->getFeature(data, len); }

private:
    std::shared_ptr<HidDevice> m_device;
};

// One read-back: what the worker owns. The window's thread looks at buffer
// and ok only after done has been seen under the mutex.
struct ReadBack {
    std::shared_ptr<HidDevice> device;
    std::array<std::uint8_t, 2> buffer{};
    bool ok = false;
    int error = 0;  // the OS error of a failed read
    bool done = false;
    std::mutex mutex;
    std::condition_variable finished;

    void work()
    {
        std::array<std::uint8_t, 2> answer = buffer;
        const bool read = device->getFeature(answer.data(), answer.size());
        const int readError = read ? 0 : device->lastError();
        device.reset();  // the worker's share of the device ends with its read
        std::lock_guard lock(mutex);
        buffer = answer;
        ok = read;
        error = readError;
        done = true;
        finished.notify_all();
    }

    // Waits up to ms of real time; true once the read-back has returned.
    bool waitDone(int ms)
    {
        std::unique_lock lock(mutex);
        return finished.wait_for(lock, std::chrono::milliseconds(ms), [this] { return done; });
    }
};
} // namespace

Calibration::Calibration(Clock& clock, int readBackTimeoutMs) : m_clock(clock), m_timeoutMs(readBackTimeoutMs) {}

Calibration::Outcome Calibration::run(std::unique_ptr<HidDevice>& device)
{
    m_report = {REPORT_ID, CMD_CALIBRATE};
    m_failure = {};

    // From here on the device is shared with the worker.
    auto shared = std::shared_ptr<HidDevice>(std::move(device));
    device = std::make_unique<SharedHidDevice>(shared);
    const std::string path = shared->path();

    // The read-back follows whatever the send did; should the send have
    // failed, that is the cause to tell.
    if (!shared->setFeature(m_report.data(), m_report.size()))
        m_failure = HidFailure(DeviceOutcome::Step::SetFeature, path, shared->lastError());
    m_t0 = m_clock.wallSeconds();

    auto job = std::make_shared<ReadBack>();
    job->device = std::move(shared);
    job->buffer = m_report;
    std::thread worker;
    try {
        worker = std::thread([job] { job->work(); });
    } catch (const std::system_error& e) {
        m_t1 = m_clock.wallSeconds();
        if (m_failure.ok())
            m_failure = DeviceOutcome(DeviceOutcome::Kind::Failed, DeviceOutcome::Step::GetFeature,
                                      QString::fromStdString(path),
                                      QStringLiteral("cannot start: %1").arg(QString::fromLocal8Bit(e.what())));
        return Outcome::ReadFailed;
    }

    // Each slice first gives the worker a moment of real time, so that its
    // answer is taken as soon as it comes and a clock that only moves when
    // waited on cannot run ahead of the read; then the window paints.
    const std::int64_t start = m_clock.nowMs();
    bool finished = false;
    for (;;) {
        if (job->waitDone(1)) {
            finished = true;
            break;
        }
        if (m_clock.nowMs() - start >= m_timeoutMs)
            break;
        m_clock.sleepMs(WAIT_SLICE_MS);
    }
    m_t1 = m_clock.wallSeconds();

    if (!finished) {
        // The read is still blocked in the device; the worker keeps the
        // device and the job alive until it returns.
        worker.detach();
        if (m_failure.ok())
            m_failure = DeviceOutcome(DeviceOutcome::Kind::TimedOut, DeviceOutcome::Step::GetFeature,
                                      QString::fromStdString(path),
                                      QStringLiteral("no answer within %1 s").arg(m_timeoutMs / 1000.0));
        return Outcome::TimedOut;
    }
    worker.join();
    {
        std::lock_guard lock(job->mutex);
        if (!job->ok) {
            if (m_failure.ok())
                m_failure = HidFailure(DeviceOutcome::Step::GetFeature, path, job->error);
            return Outcome::ReadFailed;
        }
        m_report = job->buffer;
    }
    if (m_report[0] != REPORT_ID || m_report[1] != ANSWER_DONE)
        return Outcome::WrongAnswer;
    // Whole seconds: the end must fall in a later second than the start.
    if (m_t1 - m_t0 < 1)
        return Outcome::TooQuick;
    return Outcome::Succeeded;
}

QString Calibration::reason(Outcome outcome) const
{
    switch (outcome) {
    case Outcome::Succeeded:
        return {};
    case Outcome::WrongAnswer:
        return QStringLiteral("the controller answered %1 %2")
            .arg(m_report[0], 2, 16, QLatin1Char('0'))
            .arg(m_report[1], 2, 16, QLatin1Char('0'));
    case Outcome::TooQuick:
        return QStringLiteral("the answer came within the same second");
    case Outcome::ReadFailed:
    case Outcome::TimedOut:
        break;
    }
    return m_failure.line();
}
