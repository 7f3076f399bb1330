#pragma once
// The controller's side of a download over a pseudo-terminal, for the
// benchmarks: takes 287-byte records and answers each with "Pass", at once or
// paced as a line at 460800 bit/s with 8N2 framing would. Keeps nothing of
// what it received.
#include "operations/ImageDownload.h"
#include "operations/ImageFile.h"
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

using SteadyClock = std::chrono::steady_clock;

constexpr int BAUD = 460800;
constexpr int BITS_PER_BYTE = 11;  // start bit, 8 data bits, 2 stop bits

// The time the line takes for n bytes.
inline SteadyClock::duration WireTime(int bytes)
{
    return std::chrono::nanoseconds(static_cast<long long>(bytes) * BITS_PER_BYTE * 1'000'000'000LL / BAUD);
}

// The controller's side over a pty: takes 287-byte records and answers each
// with 4 bytes, at once or paced at the line's speed.
class Peer {
public:
    explicit Peer(bool paced) : m_paced(paced) {}
    ~Peer()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_keepSlave >= 0)
            ::close(m_keepSlave);
        if (m_master >= 0)
            ::close(m_master);
    }
    bool start()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return false;
        char name[128] = {};
        if (::ptsname_r(m_master, name, sizeof name) != 0)
            return false;
        m_slave = name;
        m_keepSlave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_keepSlave < 0)
            return false;
        termios tio{};
        ::tcgetattr(m_keepSlave, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(m_keepSlave, TCSANOW, &tio);
        m_thread = std::thread([this] { run(); });
        return true;
    }
    const std::string& slave() const { return m_slave; }

private:
    void run()
    {
        char buf[4096];
        int pending = 0;  // bytes of the record under way
        SteadyClock::time_point recordStart;
        while (!m_stop) {
            pollfd pfd{m_master, POLLIN, 0};
            if (::poll(&pfd, 1, 20) <= 0 || !(pfd.revents & POLLIN))
                continue;
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0)
                continue;
            if (pending == 0)
                recordStart = SteadyClock::now();
            pending += static_cast<int>(n);
            while (pending >= ImageFile::RECORD_SIZE) {
                pending -= ImageFile::RECORD_SIZE;
                if (m_paced) {
                    // The record's last byte has crossed the line, then the
                    // answer's four bytes come back over it.
                    std::this_thread::sleep_until(recordStart + WireTime(ImageFile::RECORD_SIZE) +
                                                  WireTime(ImageDownload::ANSWER_SIZE));
                    recordStart += WireTime(ImageFile::RECORD_SIZE + ImageDownload::ANSWER_SIZE);
                }
                if (::write(m_master, "Pass", 4) != 4)
                    return;
            }
        }
    }

    bool m_paced;
    int m_master = -1;
    int m_keepSlave = -1;
    std::string m_slave;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

