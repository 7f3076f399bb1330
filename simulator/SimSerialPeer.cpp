#include "simulator/SimSerialPeer.h"
#include "simulator/SimController.h"
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

SimSerialPeer::SimSerialPeer(SimController& controller) : m_controller(controller) {}

SimSerialPeer::~SimSerialPeer()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
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
    m_thread = std::thread([this] { run(); });
    return true;
}

// Writes everything unless stop is raised meanwhile.
static void writeAll(int fd, const QByteArray& bytes, const std::atomic<bool>& stop)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0 && !stop) {
        ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {
                pollfd pfd{fd, POLLOUT, 0};
                ::poll(&pfd, 1, 20);
                continue;
            }
            return;
        }
        p += n;
        left -= n;
    }
}

void SimSerialPeer::run()
{
    char buf[4096];
    while (!m_stop) {
        pollfd pfd{m_master, POLLIN, 0};
        int r = ::poll(&pfd, 1, 20);
        if (r <= 0 || !(pfd.revents & POLLIN))
            continue;
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
        // Wait in short steps so that destruction is never held up long.
        for (int waited = 0; waited < delayMs && !m_stop; waited += 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (!m_stop)
            writeAll(m_master, answer, m_stop);
    }
}
