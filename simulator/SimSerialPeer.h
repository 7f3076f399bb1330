#pragma once
#include <QByteArray>
#include <QString>
#include <atomic>
#include <thread>

class SimController;

// The simulated controller's serial side: a pseudo-terminal whose master end
// is served by a thread of its own. The tool opens the slave path like any
// serial port. A pty has no modem lines. The thread sleeps in poll() until
// bytes come or it is told to stop; it wakes on a timer only while a
// continuous status stream runs.
class SimSerialPeer {
public:
    explicit SimSerialPeer(SimController& controller);
    ~SimSerialPeer();  // stops the thread and closes the master: the port is gone

    // Creates the pty and starts serving. False when no pty can be made.
    bool start();
    // The slave's path, such as /dev/pts/3.
    QString slavePath() const { return m_slavePath; }

private:
    void run();
    // Writes the continuous status stream's due lines, or ends the stream
    // when the tool has closed the port.
    void serveStream();

    SimController& m_controller;
    int m_master = -1;
    int m_keepSlave = -1;  // holds the slave open so the master never reads EOF
    QString m_slavePath;
    int m_wake = -1;  // eventfd: readable once the peer is to stop
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    QByteArray m_streamOut;  // stream bytes the tool had no room for yet (serving thread)
};
