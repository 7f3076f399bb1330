#include "simulator/SimController.h"
#include "platform/Clock.h"
#include "simulator/SimSerialPeer.h"
#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace {
constexpr int RECORD_SIZE = 287;
constexpr std::uint8_t REPORT_ID = 0x02;
constexpr std::uint8_t CMD_TO_COM = 0x40;
constexpr std::uint8_t CMD_CALIBRATE = 0x23;
constexpr char CMD_TO_HID = 0x26;
// Most command bytes that can arrive together (the longest sequence).
constexpr qsizetype MAX_COMMAND_RUN = 4;

bool isCommandByte(char c)
{
    return c == 'n' || c == 'd' || c == 'z' || c == '$' || c == CMD_TO_HID;
}
} // namespace

SimController::SimController(Clock& clock, const SimKnobs& knobs, QObject* parent)
    : QObject(parent), m_clock(clock), m_knobs(knobs), m_mode(knobs.startMode)
{
    if (knobs.startPresent) {
        // Appear without events: the device was there before the tool started.
        m_present = true;
        if (m_mode == Mode::Com) {
            m_peer = std::make_unique<SimSerialPeer>(*this);
            if (!m_peer->start())
                m_peer.reset();
        }
    }
}

SimController::~SimController() { shutdown(); }

QString SimController::portName() const
{
    return (presentAs(Mode::Com) && m_peer) ? m_peer->slavePath() : QString();
}

void SimController::leave()
{
    if (m_present.exchange(false))
        announceLeft();
}

bool SimController::leavesDuringReport()
{
    if (++m_reports != m_knobs.unplugAtReport || !m_present.exchange(false))
        return false;
    m_clock.schedule(0, [this] { announceLeft(); });
    return true;
}

void SimController::announceLeft()
{
    const bool wasCom = m_mode == Mode::Com;
    {
        // A calibration ends with the device; its read-back fails.
        std::lock_guard lock(m_hidMutex);
        if (m_calibration == Calibration::Running)
            m_calibration = Calibration::Aborted;
    }
    m_hidChanged.notify_all();
    m_peer.reset();
    {
        std::lock_guard lock(m_mutex);
        m_pending.clear();
        m_recent.clear();
        m_silent = false;
        m_recordCount = 0;
        m_streaming = false;
    }
    if (wasCom)
        emit removed(QStringLiteral("tty"));
    else
        emit removed(QStringLiteral("hidraw"));
    emit removed(QStringLiteral("usb"));
}

void SimController::appear()
{
    if (m_present)
        return;
    m_present = true;
    emit arrived(QStringLiteral("usb"));
    if (m_mode == Mode::Com) {
        m_peer = std::make_unique<SimSerialPeer>(*this);
        if (!m_peer->start())
            m_peer.reset();
        emit arrived(QStringLiteral("tty"));
    } else {
        emit arrived(QStringLiteral("hidraw"));
    }
}

void SimController::switchTo(Mode target)
{
    leave();
    m_mode = target;
    if (++m_switches == m_knobs.lostAtSwitch)
        return;  // gone for good
    m_clock.schedule(m_knobs.switchAbsentMs, [this] { appear(); });
}

void SimController::unplug() { leave(); }

void SimController::plugIn() { appear(); }

QByteArray SimController::statusStream()
{
    if (m_knobs.statusStreams >= 0 && m_streams >= m_knobs.statusStreams)
        return {};
    ++m_streams;
    // Status lines with position lines and a little noise between them, more
    // than one 1024-byte read takes. A line carries the first statusFields
    // values.
    QByteArray line = "$";
    for (int f = 0; f < std::clamp(m_knobs.statusFields, 0, 6); ++f)
        line += (f ? " ," : " ") + QByteArray::number(m_knobs.status[std::size_t(f)]);
    line += "\r\n";
    QByteArray out;
    for (int i = 0; out.size() < 1400; ++i) {
        out += line;
        // Position lines, which begin with "X" or "Y".
        out += QByteArray(i % 2 ? "Y " : "X ") + QByteArray::number(100 + i) + " ," + QByteArray::number(200 + i) + "\r\n";
        if (i % 3 == 1)
            out += "ok";  // noise the parser must skip
    }
    return out;
}

namespace {
std::int64_t SteadyUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

QByteArray SimController::StreamLine(std::int64_t k, int rate, int fields)
{
    // Six bands from -120 to 120, each a sine of its own period (1 to 6 s).
    static constexpr int CENTRE[6] = {-80, -48, -16, 16, 48, 80};
    static constexpr double PERIOD_S[6] = {1, 1.5, 2, 3, 4, 6};
    const double t = double(k) / std::max(rate, 1);
    QByteArray line = "$";
    for (int f = 0; f < std::clamp(fields, 0, 6); ++f) {
        const int v = CENTRE[f] + int(std::lround(40 * std::sin(2 * M_PI * t / PERIOD_S[f])));
        line += (f ? " ," : " ") + QByteArray::number(v);
    }
    return line + "\r\n";
}

void SimController::beginStream()
{
    if (m_streaming || (m_knobs.statusStreams >= 0 && m_streams >= m_knobs.statusStreams))
        return;
    ++m_streams;
    m_streaming = true;
    m_streamStartUs = SteadyUs();
    m_streamNext = 0;
}

bool SimController::streaming() const
{
    std::lock_guard lock(m_mutex);
    return m_streaming;
}

QByteArray SimController::dueStatusLines()
{
    std::lock_guard lock(m_mutex);
    if (!m_streaming)
        return {};
    const std::int64_t due = (SteadyUs() - m_streamStartUs) * m_knobs.statusRate / 1'000'000 + 1;
    QByteArray out;
    for (; m_streamNext < due; ++m_streamNext, ++m_streamedLines)
        out += StreamLine(m_streamNext, m_knobs.statusRate, m_knobs.statusFields);
    return out;
}

void SimController::endStream()
{
    std::lock_guard lock(m_mutex);
    m_streaming = false;
}

std::int64_t SimController::streamedLines() const
{
    std::lock_guard lock(m_mutex);
    return m_streamedLines;
}

QByteArray SimController::onSerialBytes(const QByteArray& bytes, int& delayMs, bool& stopLine)
{
    std::lock_guard lock(m_mutex);
    m_serialLog += bytes;
    delayMs = 0;
    stopLine = false;

    // Command bytes come by themselves (the tool writes one byte at a time
    // and pauses), though a reader may see two or three of them at once when
    // the pauses are short; anything else is part of an image record.
    if (m_pending.isEmpty() && bytes.size() <= MAX_COMMAND_RUN &&
        std::all_of(bytes.begin(), bytes.end(), isCommandByte)) {
        QByteArray answer;
        for (const char c : bytes) {
            m_recordCount = 0;
            m_silent = false;
            if (c == CMD_TO_HID) {
                m_recent.clear();
                m_clock.schedule(50, [this] { switchTo(Mode::Hid); });
                continue;
            }
            m_recent += c;
            // A hung controller takes this byte and nothing after it.
            if (m_knobs.stallOn.find(c) != std::string::npos)
                stopLine = true;
            if (m_recent.size() > 4)
                m_recent.remove(0, m_recent.size() - 4);
            // After "n n" and after "d d" the controller streams its status:
            // one burst, or lines at its rate until the port closes.
            if (m_recent.endsWith("nn") || m_recent.endsWith("dd")) {
                if (m_knobs.statusRate <= 0)
                    answer += statusStream();
                else
                    beginStream();
                m_recent.clear();
            }
        }
        return answer;
    }

    m_pending += bytes;
    QByteArray answers;
    while (m_pending.size() >= RECORD_SIZE) {
        m_records.push_back(m_pending.left(RECORD_SIZE));
        m_pending.remove(0, RECORD_SIZE);
        const int n = ++m_recordCount;
        if (n == m_knobs.unplugAtRecord) {
            m_silent = true;
            m_clock.schedule(0, [this] { unplug(); });
        }
        if (n == m_knobs.silentFromRecord)
            m_silent = true;
        if (n + 1 == m_knobs.stallFromRecord)
            stopLine = true;
        if (m_silent)
            continue;
        const auto& a = (n == m_knobs.wrongAnswerAtRecord) ? m_knobs.wrongAnswer : m_knobs.answer;
        answers += QByteArray(a.data(), static_cast<qsizetype>(a.size()));
        delayMs = m_knobs.answerDelayMs;
    }
    return answers;
}

std::vector<QByteArray> SimController::records() const
{
    std::lock_guard lock(m_mutex);
    return m_records;
}

void SimController::clearRecords()
{
    std::lock_guard lock(m_mutex);
    m_records.clear();
    m_recordCount = 0;
    m_silent = false;
}

QByteArray SimController::serialLog() const
{
    std::lock_guard lock(m_mutex);
    return m_serialLog;
}

bool SimController::hidSetFeature(const std::uint8_t* data, std::size_t len)
{
    if (len < 2 || data[0] != REPORT_ID || leavesDuringReport())
        return false;
    if (data[1] == CMD_TO_COM) {
        m_clock.schedule(50, [this] { switchTo(Mode::Com); });
        return true;
    }
    if (data[1] == CMD_CALIBRATE) {
        std::uint64_t seq;
        {
            std::lock_guard lock(m_hidMutex);
            seq = ++m_calibrationSeq;
            m_calibration = Calibration::Running;
        }
        // The end comes in the clock's time: a test clock reaches it while
        // the tool waits for the read-back.
        m_clock.schedule(m_knobs.calibrationMs, [this, seq] { endCalibration(seq, Calibration::Done); });
        return true;
    }
    return true;
}

void SimController::endCalibration(std::uint64_t seq, Calibration how)
{
    {
        std::lock_guard lock(m_hidMutex);
        // A calibration started later, or one already ended, is not this one.
        if (seq != m_calibrationSeq || m_calibration != Calibration::Running)
            return;
        m_calibration = how;
    }
    m_hidChanged.notify_all();
}

bool SimController::hidGetFeature(std::uint8_t* data, std::size_t len)
{
    if (len < 2 || data[0] != REPORT_ID || leavesDuringReport())
        return false;
    std::unique_lock lock(m_hidMutex);
    if (m_closing)
        return false;
    if (m_calibration == Calibration::Idle) {
        data[1] = 0x00;
        return true;
    }
    const std::uint64_t seq = m_calibrationSeq;
    ++m_hidReaders;
    // A minute of real time at most, so that nothing can hang for ever.
    m_hidChanged.wait_for(lock, std::chrono::seconds(60), [this, seq] {
        return m_closing || seq != m_calibrationSeq || m_calibration != Calibration::Running;
    });
    --m_hidReaders;
    const bool done = !m_closing && seq == m_calibrationSeq && m_calibration == Calibration::Done;
    if (seq == m_calibrationSeq && m_calibration != Calibration::Running)
        m_calibration = Calibration::Idle;
    lock.unlock();
    m_hidChanged.notify_all();  // shutdown() waits for the readers to go
    if (!done)
        return false;
    data[1] = m_knobs.calibrationResult;
    return true;
}

void SimController::shutdown()
{
    std::unique_lock lock(m_hidMutex);
    m_closing = true;
    m_hidChanged.notify_all();
    m_hidChanged.wait_for(lock, std::chrono::seconds(5), [this] { return m_hidReaders == 0; });
}
