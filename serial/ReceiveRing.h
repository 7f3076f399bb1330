#pragma once

// The bytes the receive pump has taken from the port, for the status-report
// parser to read: a ring of 10241 slots (one more than 10240) and the slot
// the next byte goes to. The reader keeps its own read index and must keep
// up: bytes more than SIZE - 1 behind the head are overwritten (the pump
// appends at most 1024 at a time, and the parser reads after each pump).
// Used on the thread that owns the transport.
class ReceiveRing {
public:
    static constexpr int SIZE = 10241;

    // Appends count bytes at head(), wrapping after slot SIZE - 1. Nothing for
    // a count below 1.
    void append(const char* bytes, int count);

    // The slot the next byte goes to, 0..SIZE-1.
    int head() const { return g_rxHead; }
    // The byte in slot, 0..SIZE-1.
    unsigned char at(int slot) const { return g_rxRing[slot]; }

private:
    unsigned char g_rxRing[SIZE] = {};
    int g_rxHead = 0;
};
