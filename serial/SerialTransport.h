#pragma once
#include "platform/DeviceOutcome.h"
#include "serial/LineSettings.h"
#include "serial/PortLock.h"
#include "serial/ReceiveRing.h"
#include <QElapsedTimer>
#include <QString>
#include <cstdint>

class Clock;
class QDeadlineTimer;

// The only code that touches the serial port through which the controller is
// reached in COM mode. One operation opens the port, does its whole exchange
// and closes it. Window's thread only.
//
// Every wait ends at a bound of real time (the port is real I/O) and lets the
// window paint through the Clock at most every WAIT_SLICE_MS, so nothing
// blocks for ever and the lockstep exchange of a download costs few system
// calls per record: output-queue check, write, output-queue check, wait for
// input, read.
//
// Failures are kept as a DeviceOutcome: the first failure since the last open
// stays in failure() until the next open, so the caller can show the root
// cause (a refused open) rather than its echoes (no port is open). The
// integer results below are what callers test; failure() says why.
//
// It owns the port's lock (PortLock), the line settings the next open
// applies (LineSettings) and the ring the receive pump fills (ReceiveRing).
class SerialTransport {
public:
    // The three states of m_hCom.
    enum class Handle { None, Invalid, Open };

    // Bytes one pump read asks for.
    static constexpr int PUMP_READ_SIZE = 1024;
    // Longest port name OpenComPort accepts.
    static constexpr int MAX_PORT_NAME = 15;
    // The bounds of the transport, in ms of real time.
    // A read that waits for its full count:
    static constexpr int DEFAULT_READ_TIMEOUT_MS = 5000;
    // The pump's read also ends when no new byte came for this long, and
    // returns what arrived by then (a controller streams its status lines in
    // one burst; a full 1024 bytes is not guaranteed):
    static constexpr int DEFAULT_PUMP_IDLE_MS = 1000;
    // One write with the drains before and after it (a whole record):
    static constexpr int DEFAULT_WRITE_TIMEOUT_MS = 2000;
    // The window is pumped at most this often while the transport waits.
    static constexpr int WAIT_SLICE_MS = 20;

    explicit SerialTransport(Clock& clock);
    ~SerialTransport();

    // Opens and configures the port named portName (at most 15 characters;
    // "ttyACM0" opens /dev/ttyACM0, a name holding '/' is a path) for
    // exclusive use with lineSettings(): its rate and framing (8N2), no flow
    // control, DTR and RTS asserted where the device has modem lines; then
    // discards queued input, then queued output.
    //
    // Exclusive: a port that another process holds open (seen through
    // /proc, even when this process is root), whose lock file another
    // process holds, or that another process opened with TIOCEXCL is
    // refused; the port opened here is locked the same ways (see PortLock).
    //
    // Returns 0 on success; -1 the device cannot be opened (absent, busy,
    // permission denied, not a serial device, empty or too long a name;
    // m_hCom becomes Invalid); -7 the line settings cannot be applied (the
    // port stays open, m_hCom Open). failure() says why. -5 (time-outs) and
    // -6 (queue sizes) are never returned: reads are bounded here and the
    // queues are the kernel's.
    int OpenComPort(const QString& portName);
    // Closes the port if one is held (also after a failed open). Returns 0;
    // m_hCom is None afterwards. failure() is kept.
    int CloseComPort();
    // Reads count bytes, waiting up to readTimeoutMs() for all of them.
    // Returns the number read (0..count; fewer when the bound ran out, see
    // lastReadTimedOut()), or -1 on failure (no open port, device gone).
    int ReadComPort(char* buffer, int count);
    // Waits for earlier output to drain, writes count bytes and waits for
    // them to drain, all within writeTimeoutMs(). Returns count, or -1 when
    // not every byte left in time (a controller that takes no data), the
    // device failed or went away, or no port is open.
    int WriteComPort(const char* buffer, int count);
    // WriteComPort of the low 8 bits of value.
    int WriteComByte(std::uint32_t value);
    // One read of up to 1024 bytes (ending early after pumpIdleMs() without a
    // new byte) appended to ring(). Returns 1..1014 the bytes
    // appended; -2 for 1015..1024 bytes; 0 nothing arrived (-1 the read
    // failed) while at most 20 reads in a row brought nothing; 1 from the
    // 21st such read on. A read that brings data resets the idle count.
    // Running out of time is no failure here: the controller may say nothing.
    int PumpComReceive();

    // The first failure since the last OpenComPort; ok() when there was none.
    const DeviceOutcome& failure() const { return m_failure; }
    // True when the last read ran out of time rather than failing.
    bool lastReadTimedOut() const { return m_lastReadTimedOut; }

    // The bound for ReadComPort and the pump's read, in ms.
    void setReadTimeoutMs(int ms) { m_readTimeoutMs = ms; }
    int readTimeoutMs() const { return m_readTimeoutMs; }
    // How long the pump's read waits for a further byte, in ms.
    void setPumpIdleMs(int ms) { m_pumpIdleMs = ms; }
    int pumpIdleMs() const { return m_pumpIdleMs; }
    // The bound on one WriteComPort, drains included, in ms.
    void setWriteTimeoutMs(int ms) { m_writeTimeoutMs = ms; }
    int writeTimeoutMs() const { return m_writeTimeoutMs; }

    Handle m_hCom = Handle::None;
    int g_rxIdleCount = 0;            // pump reads in a row without data

    // The settings the next OpenComPort applies; choosing them does not
    // touch a port already open.
    LineSettings& lineSettings() { return m_line; }
    const LineSettings& lineSettings() const { return m_line; }
    // The bytes PumpComReceive has taken, for the status-report parser.
    const ReceiveRing& ring() const { return m_ring; }

    // The rate the open device is set to, read back from it; 0 when no port
    // is open.
    int deviceBaudRate() const;
    // The framing the open device is set to, read back from it: data bits,
    // parity (N, E, O) and stop bits, as "8N2", followed by " rtscts" and/or
    // " xonxoff" when flow control is on; empty when no port is open.
    QString deviceFraming() const;

    // The hint a permission refusal carries.
    static QString DeniedHint();

private:
    enum class Wait { Ready, TimedOut, Failed };
    int read(char* buffer, int count, int idleMs, bool boundIsFailure);
    Wait waitFor(short events, const QDeadlineTimer& deadline, const QDeadlineTimer* idle = nullptr);
    bool drain(const QDeadlineTimer& deadline);
    bool configure();
    int refuseOpen(DeviceOutcome why);
    int fail(const DeviceOutcome& why);
    int failErrno(DeviceOutcome::Step step, int error);
    int failStalled();
    void pumpIfDue();
    void releasePort();

    Clock& m_clock;
    int m_fd = -1;
    PortLock m_lock;
    LineSettings m_line;
    ReceiveRing m_ring;
    QString m_device;                 // the port name, as failure lines show it
    int m_readTimeoutMs = DEFAULT_READ_TIMEOUT_MS;
    int m_pumpIdleMs = DEFAULT_PUMP_IDLE_MS;
    int m_writeTimeoutMs = DEFAULT_WRITE_TIMEOUT_MS;
    DeviceOutcome m_failure;
    bool m_lastReadTimedOut = false;
    QElapsedTimer m_sincePump;
};
