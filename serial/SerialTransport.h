#pragma once
#include <QString>
#include <cstdint>
#include <memory>

class Clock;
class QSerialPort;

// The only code that touches the serial port through which the controller is
// reached in COM mode. One operation opens the port, does its whole exchange
// and closes it. Window's thread only; every wait pumps the window through the
// Clock and ends at a bound, so nothing blocks for ever.
class SerialTransport {
public:
    // The three states of m_hCom.
    enum class Handle { None, Invalid, Open };

    // Ring of received bytes: one more slot than 10240.
    static constexpr int RING_SIZE = 10241;
    // Default bound on a read that waits for its full count.
    static constexpr int DEFAULT_READ_TIMEOUT_MS = 5000;

    explicit SerialTransport(Clock& clock);
    ~SerialTransport();

    // Opens and configures the port named portName (at most 15 characters;
    // "ttyACM0" opens /dev/ttyACM0, a name holding '/' is a path) with the
    // settings g_pszCommDef names. Returns 0 on success; -1 the device cannot
    // be opened (absent, not a serial device, held by another process, empty
    // or too long a name); -7 the line settings cannot be applied; -5 the
    // time-outs; -6 the queue sizes. On -7/-5/-6 the port stays open.
    int OpenComPort(const QString& portName);
    // Closes the port if one is held (also after a failed open). Returns 0.
    int CloseComPort();
    // Reads count bytes, waiting up to the read bound for all of them.
    // Returns the number read (0..count), or -1 on failure.
    int ReadComPort(char* buffer, int count);
    // Drains, writes count bytes, drains. Returns count, or -1 on failure.
    int WriteComPort(const char* buffer, int count);
    // WriteComPort of the low 8 bits of value.
    int WriteComByte(std::uint32_t value);
    // One read of up to 1024 bytes appended to the ring. Returns 1..1014 the
    // bytes appended; -2 for 1015..1024 bytes; 0 nothing (or -1 failed) while
    // at most 20 reads in a row brought nothing; 1 from the 21st on.
    int PumpComReceive();

    // The bound for ReadComPort / PumpComReceive, in ms.
    void setReadTimeoutMs(int ms) { m_readTimeoutMs = ms; }
    int readTimeoutMs() const { return m_readTimeoutMs; }
    // Why the last operation failed, for logs.
    QString lastError() const { return m_lastError; }
    // True when the last ReadComPort ran out of time rather than failing.
    bool lastReadTimedOut() const { return m_lastReadTimedOut; }

    Handle m_hCom = Handle::None;
    const char* g_pszCommDef;         // settings string for the next open
    unsigned char g_rxRing[RING_SIZE] = {};
    int g_rxHead = 0;                 // slot of the next received byte
    int g_rxIdleCount = 0;            // pump reads in a row without data

    // The rate g_pszCommDef names (460800 for anything unknown).
    int baudRate() const;

private:
    Clock& m_clock;
    std::unique_ptr<QSerialPort> m_port;
    int m_readTimeoutMs = DEFAULT_READ_TIMEOUT_MS;
    QString m_lastError;
    bool m_lastReadTimedOut = false;
};
