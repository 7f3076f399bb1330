#include "serial/SerialTransport.h"
#include "platform/Clock.h"
#include "serial/BaudTable.h"
#include <QDeadlineTimer>
#include <QSerialPort>
#include <QThread>
#include <algorithm>
#include <asm/termbits.h>
#include <sys/ioctl.h>

// QSerialPort rather than raw termios: it applies rates outside the classic
// table (128000, 256000) through the kernel's arbitrary-rate interface, takes
// the port exclusively (a lock file plus TIOCEXCL, so a second open fails even
// for root, whom TIOCEXCL alone does not stop), and reports missing modem
// lines as an error of their own that the open can ignore. Draining is done
// here: Qt's own buffer through waitForBytesWritten, the device's queue by
// polling TIOCOUTQ, both against a deadline, since tcdrain() cannot be bounded.

namespace {
bool IsTimeout(QSerialPort::SerialPortError e)
{
    return e == QSerialPort::NoError || e == QSerialPort::TimeoutError;
}

int SliceOf(const QDeadlineTimer& a, const QDeadlineTimer& b)
{
    const qint64 left = std::min(a.remainingTime() < 0 ? qint64(SerialTransport::WAIT_SLICE_MS) : a.remainingTime(),
                                 b.remainingTime() < 0 ? qint64(SerialTransport::WAIT_SLICE_MS) : b.remainingTime());
    return static_cast<int>(std::clamp<qint64>(left, 1, SerialTransport::WAIT_SLICE_MS));
}
} // namespace

SerialTransport::SerialTransport(Clock& clock) : g_pszCommDef(BaudTable::defaultSettings()), m_clock(clock) {}

SerialTransport::~SerialTransport() { CloseComPort(); }

int SerialTransport::fail(const QString& why)
{
    m_lastError = why;
    return -1;
}

int SerialTransport::baudRate() const
{
    const int rate = BaudTable::rateOf(g_pszCommDef);
    return rate > 0 ? rate : BaudTable::rateOf(BaudTable::defaultSettings());
}

int SerialTransport::deviceBaudRate() const
{
    if (m_hCom != Handle::Open || !m_port || !m_port->isOpen())
        return 0;
    termios2 t{};
    if (::ioctl(m_port->handle(), TCGETS2, &t) != 0)
        return 0;
    return static_cast<int>(t.c_ospeed);
}

QString SerialTransport::deviceFraming() const
{
    if (m_hCom != Handle::Open || !m_port || !m_port->isOpen())
        return {};
    termios2 t{};
    if (::ioctl(m_port->handle(), TCGETS2, &t) != 0)
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
    m_lastError.clear();
    if (m_port && m_port->isOpen()) {
        // The port held is kept until CloseComPort; this open fails as an
        // open of a port already in use does.
        m_hCom = Handle::Invalid;
        return fail(QStringLiteral("a port is already open"));
    }
    if (portName.isEmpty() || portName.size() > MAX_PORT_NAME) {
        m_hCom = Handle::Invalid;
        return fail(QStringLiteral("bad port name \"%1\"").arg(portName));
    }
    const QString path = portName.contains(u'/') ? portName : QStringLiteral("/dev/") + portName;
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(path);
    if (!port->open(QIODevice::ReadWrite)) {
        m_hCom = Handle::Invalid;
        return fail(QStringLiteral("cannot open %1: %2").arg(path, port->errorString()));
    }
    m_port = std::move(port);
    m_hCom = Handle::Open;

    const int rate = baudRate();
    if (!m_port->setBaudRate(rate) || !m_port->setDataBits(QSerialPort::Data8) ||
        !m_port->setParity(QSerialPort::NoParity) || !m_port->setStopBits(QSerialPort::TwoStop) ||
        !m_port->setFlowControl(QSerialPort::NoFlowControl)) {
        m_lastError = QStringLiteral("cannot apply the line settings to %1: %2").arg(path, m_port->errorString());
        m_port->clearError();
        return -7;
    }
    // A device without modem lines (a pseudo-terminal) refuses these; that is
    // no reason to fail the open.
    m_port->setDataTerminalReady(true);
    m_port->setRequestToSend(true);
    m_port->clearError();
    // Input first, then output.
    m_port->clear(QSerialPort::Input);
    m_port->clear(QSerialPort::Output);
    m_port->clearError();
    return 0;
}

int SerialTransport::CloseComPort()
{
    if (m_port) {
        if (m_port->isOpen())
            m_port->close();
        m_port.reset();
    }
    m_hCom = Handle::None;
    return 0;
}

int SerialTransport::read(char* buffer, int count, int idleMs)
{
    m_lastReadTimedOut = false;
    if (m_hCom != Handle::Open || !m_port || !m_port->isOpen())
        return fail(QStringLiteral("no port is open"));
    if (count < 0 || (!buffer && count > 0))
        return fail(QStringLiteral("bad read buffer"));
    const QDeadlineTimer total(m_readTimeoutMs, Qt::PreciseTimer);
    QDeadlineTimer idle(idleMs > 0 ? qint64(idleMs) : qint64(-1), Qt::PreciseTimer);
    int got = 0;
    for (;;) {
        if (!IsTimeout(m_port->error()))
            return fail(QStringLiteral("read failed: %1").arg(m_port->errorString()));
        const qint64 n = m_port->read(buffer + got, count - got);
        if (n < 0)
            return fail(QStringLiteral("read failed: %1").arg(m_port->errorString()));
        if (n > 0) {
            got += static_cast<int>(n);
            if (idleMs > 0)
                idle.setRemainingTime(idleMs, Qt::PreciseTimer);
        }
        if (got == count)
            return got;
        if (total.hasExpired() || idle.hasExpired()) {
            m_lastReadTimedOut = true;
            m_lastError = QStringLiteral("no answer in time");
            return got;
        }
        if (!m_port->waitForReadyRead(SliceOf(total, idle))) {
            if (!IsTimeout(m_port->error()))
                return fail(QStringLiteral("read failed: %1").arg(m_port->errorString()));
            m_port->clearError();
        }
        m_clock.pump();
    }
}

int SerialTransport::ReadComPort(char* buffer, int count) { return read(buffer, count, 0); }

bool SerialTransport::handOver(const QDeadlineTimer& deadline)
{
    // Qt's write buffer into the device.
    while (m_port->bytesToWrite() > 0) {
        if (deadline.hasExpired())
            return false;
        if (!m_port->waitForBytesWritten(SliceOf(deadline, deadline))) {
            if (!IsTimeout(m_port->error()))
                return false;
            m_port->clearError();
        }
        m_clock.pump();
    }
    return true;
}

void SerialTransport::drainDevice(const QDeadlineTimer& deadline)
{
    // The device's own output queue, until it is empty or the bound runs out.
    for (;;) {
        int queued = 0;
        if (::ioctl(m_port->handle(), TIOCOUTQ, &queued) != 0 || queued <= 0 || deadline.hasExpired())
            return;
        QThread::msleep(1);
        m_clock.pump();
    }
}

int SerialTransport::WriteComPort(const char* buffer, int count)
{
    if (m_hCom != Handle::Open || !m_port || !m_port->isOpen())
        return fail(QStringLiteral("no port is open"));
    if (count < 0 || (!buffer && count > 0))
        return fail(QStringLiteral("bad write buffer"));
    // Earlier output first; how that went is not this write's outcome.
    {
        const QDeadlineTimer before(m_writeTimeoutMs, Qt::PreciseTimer);
        if (handOver(before))
            drainDevice(before);
        m_port->clearError();
    }
    if (count == 0)
        return 0;
    if (m_port->write(buffer, count) != count)
        return fail(QStringLiteral("write failed: %1").arg(m_port->errorString()));
    const QDeadlineTimer after(m_writeTimeoutMs, Qt::PreciseTimer);
    if (!handOver(after))
        return fail(QStringLiteral("write failed: %1").arg(m_port->error() == QSerialPort::TimeoutError ||
                                                                   m_port->error() == QSerialPort::NoError
                                                               ? QStringLiteral("the device took no data in time")
                                                               : m_port->errorString()));
    drainDevice(after);
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
    const int n = read(buf, PUMP_READ_SIZE, m_pumpIdleMs);
    if (n >= 1) {
        g_rxIdleCount = 0;
        g_rxHead = ((g_rxHead % RING_SIZE) + RING_SIZE) % RING_SIZE;  // a head set from outside stays in the ring
        for (int i = 0; i < n; ++i) {
            g_rxRing[g_rxHead] = static_cast<unsigned char>(buf[i]);
            g_rxHead = (g_rxHead + 1) % RING_SIZE;
        }
    } else {
        ++g_rxIdleCount;
        if (g_rxIdleCount > 20)
            return 1;
    }
    return n > 1014 ? -2 : n;
}
