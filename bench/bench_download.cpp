// How fast the image download runs over a pseudo-terminal.
//
// 1. The real exchange (ImageDownload over SerialTransport) against a peer
//    that answers each record at once, beside a minimal termios loop doing
//    the same lockstep exchange against the same peer: time per record of
//    each and their ratio, i.e. what the transport's layers cost.
// 2. The real exchange against a peer that paces the bytes as a line at
//    460800 bit/s with 8N2 framing (11 bits a byte) would, against that
//    wire time: how close the download gets to the line's own speed.
//
// Prints figures only; not part of the test run.
#include "operations/ImageDownload.h"
#include "operations/ImageFile.h"
#include "platform/EventLoopClock.h"
#include "serial/SerialTransport.h"
#include <QCoreApplication>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
using SteadyClock = std::chrono::steady_clock;

constexpr int RECORDS = 255;
constexpr int BAUD = 460800;
constexpr int BITS_PER_BYTE = 11;  // start bit, 8 data bits, 2 stop bits
constexpr int ROUNDS = 5;          // each figure is the best of this many runs

// The time the line takes for n bytes.
SteadyClock::duration WireTime(int bytes)
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
    int answered() const { return m_answered; }

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
                ++m_answered;
            }
        }
    }

    bool m_paced;
    int m_master = -1;
    int m_keepSlave = -1;
    std::string m_slave;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_answered{0};
    std::thread m_thread;
};

std::vector<QByteArray> Image()
{
    std::vector<QByteArray> lines;
    for (int i = 0; i < RECORDS; ++i)
        lines.push_back(":10" + QByteArray::number(i, 16).rightJustified(4, '0') + QByteArray(60, 'A') + "\n");
    return lines;
}

// The real download. Returns seconds, or a negative value on failure.
double RunTransport(Peer& peer, const std::vector<QByteArray>& lines)
{
    EventLoopClock clock;
    SerialTransport transport(clock);
    if (transport.OpenComPort(QString::fromStdString(peer.slave())) != 0) {
        std::fprintf(stderr, "open failed: %s\n", qPrintable(transport.failure().line()));
        return -1;
    }
    ImageDownload download(transport, ImageDownload::FlashRules());
    const auto t0 = SteadyClock::now();
    const ImageDownload::Outcome outcome = download.Run(lines);
    const auto t1 = SteadyClock::now();
    transport.CloseComPort();
    if (outcome != ImageDownload::Outcome::Success) {
        std::fprintf(stderr, "download failed: %s\n", qPrintable(download.text()));
        return -1;
    }
    return std::chrono::duration<double>(t1 - t0).count();
}

// The same lockstep exchange in a few lines of termios: write, drain, read 4.
double RunTermios(Peer& peer, const std::vector<QByteArray>& lines)
{
    const int fd = ::open(peer.slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    tio.c_cflag |= CSTOPB;
    ::cfsetspeed(&tio, B460800);
    ::tcsetattr(fd, TCSANOW, &tio);
    ::tcflush(fd, TCIOFLUSH);
    const auto t0 = SteadyClock::now();
    bool ok = true;
    for (const QByteArray& line : lines) {
        const QByteArray record = ImageDownload::Record(line);
        if (::write(fd, record.constData(), record.size()) != record.size()) {
            ok = false;
            break;
        }
        ::tcdrain(fd);
        char answer[4];
        int got = 0;
        while (got < 4) {
            pollfd pfd{fd, POLLIN, 0};
            if (::poll(&pfd, 1, 5000) <= 0)
                break;
            const ssize_t n = ::read(fd, answer + got, 4 - got);
            if (n <= 0)
                break;
            got += static_cast<int>(n);
        }
        if (got != 4 || answer[0] != 'P') {
            ok = false;
            break;
        }
    }
    const auto t1 = SteadyClock::now();
    ::close(fd);
    return ok ? std::chrono::duration<double>(t1 - t0).count() : -1;
}

// The best of ROUNDS runs of fn.
template <typename Fn>
double Best(Fn fn)
{
    double best = -1;
    for (int i = 0; i < ROUNDS; ++i) {
        const double s = fn();
        if (s < 0)
            return -1;
        if (best < 0 || s < best)
            best = s;
    }
    return best;
}

double PerRecordUs(double seconds) { return seconds * 1e6 / RECORDS; }
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::vector<QByteArray> lines = Image();

    Peer instant(false);
    if (!instant.start()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    const double transport = Best([&] { return RunTransport(instant, lines); });
    const double termios = Best([&] { return RunTermios(instant, lines); });
    if (transport < 0 || termios < 0)
        return 1;
    std::printf("Image of %d records of %d bytes, instant peer over a pty (best of %d):\n", RECORDS,
                ImageFile::RECORD_SIZE, ROUNDS);
    std::printf("  ImageDownload + SerialTransport: %8.1f us per record (%.3f s)\n", PerRecordUs(transport),
                transport);
    std::printf("  minimal termios loop:            %8.1f us per record (%.3f s)\n", PerRecordUs(termios), termios);
    std::printf("  ratio transport / termios:       %8.2f\n", transport / termios);

    Peer paced(true);
    if (!paced.start())
        return 1;
    const double pacedTransport = Best([&] { return RunTransport(paced, lines); });
    if (pacedTransport < 0)
        return 1;
    const double wire =
        std::chrono::duration<double>(WireTime(ImageFile::RECORD_SIZE + ImageDownload::ANSWER_SIZE)).count() *
        RECORDS;
    std::printf("Peer paced at %d bit/s, 8N2 (%d bits a byte):\n", BAUD, BITS_PER_BYTE);
    std::printf("  ImageDownload + SerialTransport: %8.1f us per record (%.3f s)\n", PerRecordUs(pacedTransport),
                pacedTransport);
    std::printf("  wire time (287 + 4 bytes):       %8.1f us per record (%.3f s)\n", PerRecordUs(wire), wire);
    std::printf("  ratio download / wire:           %8.2f\n", pacedTransport / wire);
    return 0;
}
