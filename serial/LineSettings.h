#pragma once

// The line settings the transport applies at its next open. The rate is
// chosen as one of BaudTable's settings strings and looked up once, when it
// is chosen; the framing is the same at every rate and is stated here, once:
// 8 data bits, no parity, 2 stop bits, no flow control. The parity, data and
// stop words of a settings string only repeat that framing (the baud table's
// test holds them to these constants); nothing reads them.
//
// Choosing does not touch a port already open: the next OpenComPort applies
// it. Used on the thread that owns the transport.
class LineSettings {
public:
    static constexpr int DATA_BITS = 8;
    static constexpr char PARITY = 'N';
    static constexpr int STOP_BITS = 2;
    // Bits one byte takes on the line: a start bit, the data bits, a parity
    // bit when there is parity, the stop bits. 11 at 8N2.
    static constexpr int BITS_PER_BYTE = 1 + DATA_BITS + (PARITY == 'N' ? 0 : 1) + STOP_BITS;

    // Starts with BaudTable::defaultSettings() (460800 bit/s).
    LineSettings();

    // Chooses settings, one of BaudTable's seven settings strings (compared
    // as text), for the next open. Any other string, and nullptr, chooses
    // BaudTable::defaultSettings(), so the choice always names a row of the
    // table.
    void choose(const char* settings);

    // The settings string chosen: one of BaudTable's, never nullptr.
    const char* settings() const { return g_pszCommDef; }
    // Its rate in bit/s.
    int rate() const { return m_rate; }

private:
    const char* g_pszCommDef;
    int m_rate;
};
