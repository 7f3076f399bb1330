#pragma once
// The controller's side of a serial port, for tests and benchmarks: a
// pseudo-terminal whose master side is served by a thread of this object.
#include <QByteArray>
#include <QString>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

struct PtyPeerOptions {
    // Take 287-byte records and answer each with "Pass"; false: answer
    // nothing, the test writes into the port itself (PtyPeer::write).
    bool answers = true;
    int answerDelayMs = 0;
    // Answer when a line at 460800 bit/s with 8N2 framing would have carried
    // the record and the answer.
    bool paced = false;
    // Hold the port open on this side (in raw mode), so that the master side
    // never sees it closed. False leaves it to the tool alone, whose check
    // for other holders of the port then finds nobody.
    bool holdPort = true;
    // Keep the records received (records()); false keeps only their number.
    bool keepRecords = true;
};

class PtyPeer {
public:
    static constexpr int RECORD = 287;
    static constexpr int BAUD = 460800;
    static constexpr int BITS_PER_BYTE = 11;  // start bit, 8 data bits, 2 stop bits
    // The time the line takes for n bytes.
    static std::chrono::nanoseconds WireTime(int bytes)
    {
        return std::chrono::nanoseconds(static_cast<long long>(bytes) * BITS_PER_BYTE * 1'000'000'000LL / BAUD);
    }

    explicit PtyPeer(const PtyPeerOptions& options);
    ~PtyPeer();

    bool ok() const { return !m_path.isEmpty(); }
    // The port's path, such as /dev/pts/3.
    QString path() const { return m_path; }
    std::vector<QByteArray> records() const;
    // Bytes the port then reads.
    bool write(const QByteArray& bytes);

private:
    void serve();

    const PtyPeerOptions m_options;
    int m_master = -1;
    int m_port = -1;  // the port held open here
    QString m_path;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<QByteArray> m_records;
    std::thread m_thread;
};
