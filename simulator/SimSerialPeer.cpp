#include "simulator/SimSerialPeer.h"
#include "simulator/SimController.h"
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

SimSerialPeer::SimSerialPeer(SimController& controller) : m_controller(controller) {}

SimSerialPeer::~SimSerialPeer()
{
    m_stop = true;
    if (m_wake >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wake, &one, sizeof one);
    }
    if (m_thread.joinable())
        m_thread.join();
    if (m_wake >= 0)
        ::close(m_wake);
    if (m_keepSlave >= 0)
        ::close(m_keepSlave);
    if (m_master >= 0)
        ::close(m_master);
}

bool SimSerialPeer::start()
{
    // Non-blocking, so that an answer the tool never reads cannot hold the
    // serving thread (and with it the peer's destruction) in a write.
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (m_master < 0)
        return false;
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return false;
    char name[128] = {};
    if (::ptsname_r(m_master, name, sizeof name) != 0)
        return false;
    m_slavePath = QString::fromLocal8Bit(name);

    // Hold the slave open ourselves: the master then never sees a hang-up
    // between two opens by the tool, and the line settings stay raw.
    m_keepSlave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_keepSlave < 0)
        return false;
    termios tio{};
    if (::tcgetattr(m_keepSlave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m_keepSlave, TCSANOW, &tio);
    }
    if (m_controller.knobs().stallFromRecord == 1)
        ::tcflow(m_keepSlave, TCOOFF);
    m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wake < 0)
        return false;
    m_thread = std::thread([this] { run(); });
    return true;
}

namespace {
// Waits until fd has one of events, or wake is readable, or timeoutMs has
// passed (-1: no bound). Returns fd's events; 0 when woken or timed out.
short WaitFor(int fd, short events, int wake, int timeoutMs)
{
    pollfd fds[2] = {{fd, events, 0}, {wake, POLLIN, 0}};
    const int nfds = fd >= 0 ? 2 : 1;
    pollfd* first = fd >= 0 ? &fds[0] : &fds[1];
    for (;;) {
        const int r = ::poll(first, static_cast<nfds_t>(nfds), timeoutMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0 || (fds[1].revents & POLLIN))
            return 0;
        return fds[0].revents;
    }
}
} // namespace

// Writes everything unless the peer is stopped meanwhile.
static void writeAll(int fd, const QByteArray& bytes, int wake, const std::atomic<bool>& stop)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0 && !stop) {
        ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {
                // The tool is not reading: wait for room, or for the stop.
                if (!(WaitFor(fd, POLLOUT, wake, -1) & POLLOUT))
                    return;
                continue;
            }
            return;
        }
        p += n;
        left -= n;
    }
}

void SimSerialPeer::serveStream()
{
    // A pty has no DTR for the tool to drop when it lets go of the port; the
    // TIOCEXCL it holds while it has the port open stands in for it.
    int exclusive = 0;
    if (::ioctl(m_keepSlave, TIOCGEXCL, &exclusive) != 0 || !exclusive) {
        m_controller.endStream();
        m_streamOut.clear();
        return;
    }
    m_streamOut += m_controller.dueStatusLines();
    // What the tool has no room for yet waits for the next tick; nothing
    // here blocks, so a command byte is always read in time.
    while (!m_streamOut.isEmpty()) {
        const ssize_t n = ::write(m_master, m_streamOut.constData(), static_cast<size_t>(m_streamOut.size()));
        if (n <= 0)
            break;
        m_streamOut.remove(0, n);
    }
}

void SimSerialPeer::run()
{
    char buf[4096];
    // A continuous stream is served every tick: a line at a time up to 1000
    // lines a second, a few lines a tick above that.
    const int rate = m_controller.knobs().statusRate;
    const int tickMs = rate > 0 ? std::clamp(1000 / rate, 1, 20) : -1;
    while (!m_stop) {
        const bool streaming = tickMs > 0 && m_controller.streaming();
        const short revents = WaitFor(m_master, POLLIN, m_wake, streaming ? tickMs : -1);
        if (m_stop)
            break;
        if (streaming)
            serveStream();
        if (!(revents & POLLIN)) {
            // The master cannot fail while the slave is held open; should it
            // all the same, wait for the stop rather than spin.
            if (revents & (POLLERR | POLLHUP | POLLNVAL))
                WaitFor(-1, 0, m_wake, -1);
            continue;
        }
        ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            continue;
        int delayMs = 0;
        bool stopLine = false;
        QByteArray answer = m_controller.onSerialBytes(QByteArray(buf, static_cast<qsizetype>(n)), delayMs, stopLine);
        // A stopped line takes nothing more from the tool: its writes find no
        // room, as with a controller that has hung.
        if (stopLine)
            ::tcflow(m_keepSlave, TCOOFF);
        if (answer.isEmpty())
            continue;
        // The answer's delay, cut short by a stop.
        if (delayMs > 0)
            WaitFor(-1, 0, m_wake, delayMs);
        if (!m_stop)
            writeAll(m_master, answer, m_wake, m_stop);
    }
}
