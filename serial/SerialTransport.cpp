#include "serial/SerialTransport.h"
#include "platform/Clock.h"
#include <QDeadlineTimer>
#include <algorithm>
#include <asm/termbits.h>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

// The port is driven with termios2 on a plain descriptor rather than through
// QSerialPort: every system call of the lockstep exchange is then ours to
// count, the operating system's error of every step reaches the outcome, and
// no event-loop notifier reads the port behind the exchange's back. Rates
// outside the classic table (128000, 256000) go through BOTHER.

namespace {
using Step = DeviceOutcome::Step;
using Kind = DeviceOutcome::Kind;

// Whole milliseconds left on a deadline, rounded up; -1 for a deadline that
// never runs out.
qint64 MsLeft(const QDeadlineTimer& d)
{
    if (d.isForever())
        return -1;
    return (std::max<qint64>(d.remainingTimeNSecs(), 0) + 999'999) / 1'000'000;
}

QString Seconds(int ms) { return QString::number(ms / 1000.0, 'g', 3) + QStringLiteral(" s"); }
} // namespace

SerialTransport::SerialTransport(Clock& clock) : m_clock(clock) { m_sincePump.start(); }

SerialTransport::~SerialTransport() { CloseComPort(); }

QString SerialTransport::DeniedHint()
{
    return QStringLiteral("run `scripts/install-udev-rule.sh` or join the dialout group");
}

int SerialTransport::fail(const DeviceOutcome& why)
{
    // The first failure is the root cause; what follows from it is not kept.
    if (m_failure.ok())
        m_failure = why;
    return -1;
}

int SerialTransport::failErrno(Step step, int error)
{
    DeviceOutcome why = DeviceOutcome::FromErrno(step, m_device, error);
    if (why.kind() == Kind::Gone)
        why = DeviceOutcome(Kind::Gone, step, m_device, QStringLiteral("the device is gone (%1)").arg(why.reason()),
                            error);
    return fail(why);
}

int SerialTransport::failStalled()
{
    return fail(DeviceOutcome(Kind::TimedOut, Step::Write, m_device,
                              QStringLiteral("the controller took no data for %1").arg(Seconds(m_writeTimeoutMs))));
}

int SerialTransport::refuseOpen(DeviceOutcome why)
{
    m_hCom = Handle::Invalid;
    m_lock.unlock();
    // Every permission refusal says what to do about it.
    if (why.kind() == Kind::Denied && why.hint().isEmpty())
        why = DeviceOutcome(why.kind(), why.step(), why.device(), why.reason(), why.error(), DeniedHint());
    return fail(why);
}

void SerialTransport::releasePort()
{
    if (m_fd >= 0) {
        m_lock.release(m_fd);
        ::close(m_fd);
    }
    m_fd = -1;
    m_lock.unlock();
}

int SerialTransport::deviceBaudRate() const
{
    termios2 t{};
    if (m_hCom != Handle::Open || ::ioctl(m_fd, TCGETS2, &t) != 0)
        return 0;
    return static_cast<int>(t.c_ospeed);
}

QString SerialTransport::deviceFraming() const
{
    termios2 t{};
    if (m_hCom != Handle::Open || ::ioctl(m_fd, TCGETS2, &t) != 0)
        return {};
    const tcflag_t size = t.c_cflag & CSIZE;
    QString out = QString::number(size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8);
    out += !(t.c_cflag & PARENB) ? u'N' : (t.c_cflag & PARODD) ? u'O' : u'E';
    out += (t.c_cflag & CSTOPB) ? u'2' : u'1';
    if (t.c_cflag & CRTSCTS)
        out += QStringLiteral(" rtscts");
    if (t.c_iflag & (IXON | IXOFF))
        out += QStringLiteral(" xonxoff");
    return out;
}

int SerialTransport::OpenComPort(const QString& portName)
{
    m_failure = {};
    m_lastReadTimedOut = false;
    m_device = portName;
    if (m_fd >= 0) {
        // The port held is kept until CloseComPort; this open fails as an
        // open of a port already in use does.
        m_hCom = Handle::Invalid;
        return fail(DeviceOutcome(Kind::Busy, Step::Open, portName, QStringLiteral("a port is already open here")));
    }
    if (portName.isEmpty())
        return refuseOpen(DeviceOutcome(Kind::Unusable, Step::Open, portName, QStringLiteral("no port name")));
    if (portName.size() > MAX_PORT_NAME)
        return refuseOpen(DeviceOutcome(Kind::Unusable, Step::Open, portName,
                                        QStringLiteral("the name is longer than %1 characters").arg(MAX_PORT_NAME)));
    const QString path = portName.contains(u'/') ? portName : QStringLiteral("/dev/") + portName;
    if (const DeviceOutcome why = m_lock.claim(portName, path); !why.ok())
        return refuseOpen(why);
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == EBUSY)  // TIOCEXCL of a process this user cannot see
            return refuseOpen(DeviceOutcome(Kind::Busy, Step::Open, portName, {}, error));
        return refuseOpen(DeviceOutcome::FromErrno(Step::Open, portName, error));
    }
    if (const DeviceOutcome why = m_lock.exclude(fd, portName); !why.ok()) {
        ::close(fd);
        return refuseOpen(why);
    }
    m_fd = fd;
    m_hCom = Handle::Open;
    if (!configure())
        return -7;
    // A device without modem lines (a pseudo-terminal) refuses these; that is
    // no reason to fail the open.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(m_fd, TIOCMBIS, &lines);
    // Input first, then output.
    ::ioctl(m_fd, TCFLSH, TCIFLUSH);
    ::ioctl(m_fd, TCFLSH, TCOFLUSH);
    m_sincePump.restart();
    return 0;
}

bool SerialTransport::configure()
{
    static_assert(LineSettings::DATA_BITS == 8 && LineSettings::PARITY == 'N' && LineSettings::STOP_BITS == 2,
                  "the flags below set 8N2");
    termios2 t{};
    if (::ioctl(m_fd, TCGETS2, &t) != 0) {
        failErrno(Step::Configure, errno);
        return false;
    }
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(CSIZE | PARENB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= CS8 | CSTOPB | CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = t.c_ospeed = static_cast<speed_t>(m_line.rate());
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (::ioctl(m_fd, TCSETS2, &t) != 0) {
        failErrno(Step::Configure, errno);
        return false;
    }
    return true;
}

int SerialTransport::CloseComPort()
{
    releasePort();
    m_hCom = Handle::None;
    return 0;
}

void SerialTransport::pumpIfDue()
{
    if (m_sincePump.elapsed() < WAIT_SLICE_MS)
        return;
    m_clock.pump();
    m_sincePump.restart();
}

SerialTransport::Wait SerialTransport::waitFor(short events, const QDeadlineTimer& deadline,
                                               const QDeadlineTimer* idle)
{
    for (;;) {
        if (deadline.hasExpired() || (idle && idle->hasExpired()))
            return Wait::TimedOut;
        qint64 ms = MsLeft(deadline);
        if (idle && MsLeft(*idle) >= 0)
            ms = ms < 0 ? MsLeft(*idle) : std::min(ms, MsLeft(*idle));
        const qint64 untilPump = WAIT_SLICE_MS - m_sincePump.elapsed();
        if (untilPump <= 0) {
            pumpIfDue();
            continue;
        }
        ms = ms < 0 ? untilPump : std::min(ms, untilPump);
        pollfd p{m_fd, events, 0};
        const int r = ::poll(&p, 1, static_cast<int>(ms));
        if (r > 0)
            return Wait::Ready;  // ready, or an error or hang-up the next call reports
        if (r < 0 && errno != EINTR) {
            failErrno(events == POLLIN ? Step::Read : Step::Write, errno);
            return Wait::Failed;
        }
    }
}

int SerialTransport::read(char* buffer, int count, int idleMs, bool boundIsFailure)
{
    m_lastReadTimedOut = false;
    if (m_hCom != Handle::Open)
        return fail(DeviceOutcome(Kind::Failed, Step::Read, m_device, QStringLiteral("no port is open")));
    if (count < 0 || (!buffer && count > 0))
        return fail(DeviceOutcome(Kind::Failed, Step::Read, m_device, QStringLiteral("bad read buffer")));
    const QDeadlineTimer total(m_readTimeoutMs, Qt::PreciseTimer);
    QDeadlineTimer idle(idleMs > 0 ? qint64(idleMs) : qint64(-1), Qt::PreciseTimer);
    int got = 0;
    while (got < count) {
        const Wait w = waitFor(POLLIN, total, idleMs > 0 ? &idle : nullptr);
        if (w == Wait::Failed)
            return -1;
        if (w == Wait::TimedOut) {
            m_lastReadTimedOut = true;
            if (boundIsFailure)
                fail(DeviceOutcome(Kind::TimedOut, Step::Read, m_device,
                                   QStringLiteral("no answer within %1").arg(Seconds(m_readTimeoutMs))));
            return got;
        }
        const ssize_t n = ::read(m_fd, buffer + got, static_cast<size_t>(count - got));
        if (n > 0) {
            got += static_cast<int>(n);
            if (idleMs > 0)
                idle.setRemainingTime(idleMs, Qt::PreciseTimer);
        } else if (n == 0) {
            return failErrno(Step::Read, EIO);  // hung up: the device went away
        } else if (errno != EAGAIN && errno != EINTR) {
            return failErrno(Step::Read, errno);
        }
    }
    return got;
}

int SerialTransport::ReadComPort(char* buffer, int count) { return read(buffer, count, 0, true); }

bool SerialTransport::drain(const QDeadlineTimer& deadline)
{
    for (;;) {
        int queued = 0;
        if (::ioctl(m_fd, TIOCOUTQ, &queued) != 0) {
            failErrno(Step::Write, errno);
            return false;
        }
        if (queued <= 0)
            return true;
        if (deadline.hasExpired()) {
            failStalled();
            return false;
        }
        // The time the queued bytes take on the line, but no longer than
        // until the bound or the window's next paint.
        qint64 ms = std::max<qint64>(1, qint64(queued) * LineSettings::BITS_PER_BYTE * 1000 / m_line.rate());
        ms = std::min({ms, MsLeft(deadline), std::max<qint64>(1, WAIT_SLICE_MS - m_sincePump.elapsed())});
        ::poll(nullptr, 0, static_cast<int>(ms));
        pumpIfDue();
    }
}

int SerialTransport::WriteComPort(const char* buffer, int count)
{
    if (m_hCom != Handle::Open)
        return fail(DeviceOutcome(Kind::Failed, Step::Write, m_device, QStringLiteral("no port is open")));
    if (count < 0 || (!buffer && count > 0))
        return fail(DeviceOutcome(Kind::Failed, Step::Write, m_device, QStringLiteral("bad write buffer")));
    // One bound for earlier output to drain, this write, and its own drain.
    const QDeadlineTimer deadline(m_writeTimeoutMs, Qt::PreciseTimer);
    if (!drain(deadline))
        return -1;
    int done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd, buffer + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return failErrno(Step::Write, errno);
        // No room: the device takes no more for now.
        const Wait w = waitFor(POLLOUT, deadline);
        if (w == Wait::TimedOut)
            return failStalled();
        if (w == Wait::Failed)
            return -1;
    }
    if (!drain(deadline))
        return -1;
    return count;
}

int SerialTransport::WriteComByte(std::uint32_t value)
{
    const char byte = static_cast<char>(value & 0xFFu);
    return WriteComPort(&byte, 1);
}

int SerialTransport::PumpComReceive()
{
    char buf[PUMP_READ_SIZE];
    const int n = read(buf, PUMP_READ_SIZE, m_pumpIdleMs, false);
    if (n >= 1) {
        g_rxIdleCount = 0;
        m_ring.append(buf, n);
    } else {
        ++g_rxIdleCount;
        if (g_rxIdleCount > 20)
            return 1;
    }
    return n > 1014 ? -2 : n;
}
