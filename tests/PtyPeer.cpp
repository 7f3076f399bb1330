#include "PtyPeer.h"
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

PtyPeer::PtyPeer(const PtyPeerOptions& options) : m_options(options)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128] = {};
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
        ::ptsname_r(m_master, name, sizeof name) != 0)
        return;
    if (m_options.holdPort) {
        m_port = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios tio{};
        if (m_port < 0 || ::tcgetattr(m_port, &tio) != 0)
            return;
        ::cfmakeraw(&tio);
        ::tcsetattr(m_port, TCSANOW, &tio);
    }
    m_path = QString::fromLocal8Bit(name);
    if (m_options.answers)
        m_thread = std::thread([this] { serve(); });
}

PtyPeer::~PtyPeer()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    for (int fd : {m_port, m_master})
        if (fd >= 0)
            ::close(fd);
}

std::vector<QByteArray> PtyPeer::records() const
{
    std::lock_guard lock(m_mutex);
    return m_records;
}

bool PtyPeer::write(const QByteArray& bytes)
{
    return ::write(m_master, bytes.constData(), bytes.size()) == bytes.size();
}

void PtyPeer::serve()
{
    using Clock = std::chrono::steady_clock;
    const auto exchange = WireTime(RECORD + 4);  // the record, then "Pass"
    char buf[4096];
    QByteArray pending;         // the bytes of the record under way
    Clock::time_point started;  // when its first byte came
    while (!m_stop) {
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        const ssize_t n = (p.revents & POLLIN) ? ::read(m_master, buf, sizeof buf) : -1;
        if (n <= 0) {
            // Nobody has the port open: wait for the next open.
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        if (pending.isEmpty())
            started = Clock::now();
        for (pending.append(buf, n); pending.size() >= RECORD; pending.remove(0, RECORD)) {
            if (m_options.keepRecords) {
                std::lock_guard lock(m_mutex);
                m_records.push_back(pending.left(RECORD));
            }
            if (m_options.paced) {
                std::this_thread::sleep_until(started + exchange);
                started += exchange;
            } else if (m_options.answerDelayMs > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(m_options.answerDelayMs));
            }
            (void)!::write(m_master, "Pass", 4);
        }
    }
}
