// How fast and how lean the image download runs over a pseudo-terminal.
//
// 1. The real exchange (ImageDownload over SerialTransport) against a peer
//    that answers each record at once, beside a bare termios loop doing the
//    same lockstep exchange against the same peer, and beside pyserial when
//    /usr/bin/python3 has it: time per record and ratios.
// 2. The same against a peer that paces the bytes as a line at 460800 bit/s
//    with 8N2 framing (11 bits a byte) would.
// 3. Time per record of the real exchange for 255 and for 25,500 records.
// 4. System calls per record on the download's thread (the peer's thread is
//    not counted), by running this program again under strace, when strace is
//    there: the real exchange and the bare loop.
//
// Prints figures only; not part of the test run.
#include "PtyPeer.h"
#include "operations/ImageDownload.h"
#include "operations/ImageFile.h"
#include "platform/EventLoopClock.h"
#include "serial/SerialTransport.h"
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {
using SteadyClock = std::chrono::steady_clock;
// Peers that answer each record with "Pass", at once or paced as the line
// would; they keep nothing of what they received.
const PtyPeerOptions INSTANT{.keepRecords = false};
const PtyPeerOptions PACED{.paced = true, .keepRecords = false};

constexpr int RECORDS = 255;
constexpr int MANY_RECORDS = 25'500;
constexpr int ROUNDS = 9;  // each figure is the best of this many runs; compared ones take turns
// Written to /dev/null around the exchange a system-call count looks at.
const char BEGIN_MARK[] = "morvax-bench-begin";
const char END_MARK[] = "morvax-bench-end";

std::vector<QByteArray> Image(int records)
{
    std::vector<QByteArray> lines;
    for (int i = 0; i < records; ++i)
        lines.push_back(":10" + QByteArray::number(i, 16).rightJustified(4, '0') + QByteArray(60, 'A') + "\n");
    return lines;
}

void Mark(const char* text)
{
    static const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    (void)!::write(devNull, text, std::strlen(text));
}

// The real download. Returns seconds, or a negative value on failure.
double RunTransport(PtyPeer& peer, const std::vector<QByteArray>& lines)
{
    EventLoopClock clock;
    SerialTransport transport(clock);
    if (transport.OpenComPort(peer.path()) != 0) {
        std::fprintf(stderr, "open failed: %s\n", qPrintable(transport.failure().line()));
        return -1;
    }
    ImageDownload download(transport, ImageDownload::FlashRules());
    Mark(BEGIN_MARK);
    const auto t0 = SteadyClock::now();
    const DownloadOutcome outcome = download.Run(lines);
    const auto t1 = SteadyClock::now();
    Mark(END_MARK);
    transport.CloseComPort();
    if (outcome != DownloadOutcome::Success && outcome != DownloadOutcome::TooFewLines) {
        std::fprintf(stderr, "download failed: %s %s\n", qPrintable(download.text()),
                     qPrintable(transport.failure().line()));
        return -1;
    }
    return std::chrono::duration<double>(t1 - t0).count();
}

// The same lockstep exchange in a few lines of termios: write, drain, wait,
// read 4.
double RunTermios(PtyPeer& peer, const std::vector<QByteArray>& lines)
{
    const int fd = ::open(QFile::encodeName(peer.path()).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    tio.c_cflag |= CSTOPB;
    ::cfsetspeed(&tio, B460800);
    ::tcsetattr(fd, TCSANOW, &tio);
    ::tcflush(fd, TCIOFLUSH);
    std::vector<QByteArray> records;
    for (const QByteArray& line : lines)
        records.push_back(ImageDownload::Record(line));
    Mark(BEGIN_MARK);
    const auto t0 = SteadyClock::now();
    bool ok = true;
    for (const QByteArray& record : records) {
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
    Mark(END_MARK);
    ::close(fd);
    return ok ? std::chrono::duration<double>(t1 - t0).count() : -1;
}

// The same exchange in pyserial, when /usr/bin/python3 has it; seconds, or a
// negative value when it cannot run.
double RunPySerial(PtyPeer& peer, int records)
{
    static const char SCRIPT[] = R"(
import sys, time, serial
port = serial.Serial(sys.argv[1], 460800, stopbits=2, timeout=5)
record = b':10' + b'A' * 60 + b'\n'
record += b'\0' * (287 - len(record))
t0 = time.perf_counter()
for i in range(int(sys.argv[2])):
    port.write(record)
    port.flush()
    if port.read(4)[:1] != b'P':
        sys.exit(1)
print(time.perf_counter() - t0)
)";
    QProcess py;
    py.start(QStringLiteral("/usr/bin/python3"),
             {QStringLiteral("-c"), QString::fromLatin1(SCRIPT), peer.path(),
              QString::number(records)});
    if (!py.waitForFinished(120000) || py.exitStatus() != QProcess::NormalExit || py.exitCode() != 0)
        return -1;
    bool ok = false;
    const double seconds = py.readAllStandardOutput().trimmed().toDouble(&ok);
    return ok ? seconds : -1;
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

// The best of rounds runs of a and of b, taking turns, so that both see the
// same machine; negative values when either fails.
template <typename A, typename B>
std::pair<double, double> BestOfTurns(A a, B b, int rounds = ROUNDS)
{
    double bestA = -1, bestB = -1;
    for (int i = 0; i < rounds; ++i) {
        const double sa = a(), sb = b();
        if (sa < 0 || sb < 0)
            return {-1, -1};
        bestA = bestA < 0 ? sa : std::min(bestA, sa);
        bestB = bestB < 0 ? sb : std::min(bestB, sb);
    }
    return {bestA, bestB};
}

double PerRecordUs(double seconds, int records) { return seconds * 1e6 / records; }

// The system calls of this program's main thread between the marks, per
// record, for the exchange `which` ("transport", "termios"), through strace;
// negative when strace cannot run.
double SyscallsPerRecord(const char* self, const char* which)
{
    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("trace"));
    QProcess strace;
    strace.start(QStringLiteral("strace"), {QStringLiteral("-f"), QStringLiteral("-o"), trace,
                                            QString::fromLocal8Bit(self), QStringLiteral("--probe"),
                                            QString::fromLatin1(which)});
    if (!strace.waitForFinished(120000) || strace.exitStatus() != QProcess::NormalExit || strace.exitCode() != 0)
        return -1;
    const QByteArray tid = strace.readAllStandardOutput().trimmed();
    QFile f(trace);
    if (tid.isEmpty() || !f.open(QIODevice::ReadOnly))
        return -1;
    // Lines: "<tid> name(args) = result", split ones as "<... name resumed>".
    long calls = 0;
    bool inside = false;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine();
        if (!line.startsWith(tid + ' '))
            continue;
        if (line.contains(BEGIN_MARK)) {
            inside = true;
            continue;
        }
        if (line.contains(END_MARK))
            break;
        if (inside && !line.contains("resumed>"))
            ++calls;
    }
    return double(calls) / RECORDS;
}

// Run under strace: one exchange of RECORDS records on an instant peer; the
// main thread's id on stdout.
int Probe(const char* which)
{
    PtyPeer peer(INSTANT);
    if (!peer.ok())
        return 1;
    const std::vector<QByteArray> lines = Image(RECORDS);
    const double s = std::strcmp(which, "termios") == 0 ? RunTermios(peer, lines) : RunTransport(peer, lines);
    std::printf("%ld\n", static_cast<long>(::syscall(SYS_gettid)));
    return s < 0 ? 1 : 0;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--probe") == 0)
        return Probe(argv[2]);
    const std::vector<QByteArray> lines = Image(RECORDS);

    PtyPeer instant(INSTANT);
    if (!instant.ok()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    const auto [transport, termios] =
        BestOfTurns([&] { return RunTransport(instant, lines); }, [&] { return RunTermios(instant, lines); });
    if (transport < 0 || termios < 0)
        return 1;
    std::printf("Image of %d records of %d bytes, instant peer over a pty (best of %d, taking turns):\n",
                RECORDS, ImageFile::RECORD_SIZE, ROUNDS);
    std::printf("  ImageDownload + SerialTransport: %8.1f us per record\n", PerRecordUs(transport, RECORDS));
    std::printf("  bare termios loop:               %8.1f us per record\n", PerRecordUs(termios, RECORDS));
    std::printf("  ratio transport / termios:       %8.2f   (target <= 1.15)\n", transport / termios);
    const double py = Best([&] { return RunPySerial(instant, RECORDS); });
    if (py > 0) {
        std::printf("  pyserial lockstep loop:          %8.1f us per record\n", PerRecordUs(py, RECORDS));
        std::printf("  ratio transport / pyserial:      %8.2f\n", transport / py);
    } else {
        std::printf("  pyserial lockstep loop:          not run (no pyserial in /usr/bin/python3)\n");
    }

    PtyPeer paced(PACED);
    if (!paced.ok())
        return 1;
    const auto [pacedTransport, pacedTermios] =
        BestOfTurns([&] { return RunTransport(paced, lines); }, [&] { return RunTermios(paced, lines); }, 3);
    if (pacedTransport < 0 || pacedTermios < 0)
        return 1;
    const double wire =
        std::chrono::duration<double>(PtyPeer::WireTime(ImageFile::RECORD_SIZE + ImageDownload::ANSWER_SIZE)).count() *
        RECORDS;
    std::printf("Peer paced at %d bit/s, 8N2 (%d bits a byte):\n", PtyPeer::BAUD, PtyPeer::BITS_PER_BYTE);
    std::printf("  ImageDownload + SerialTransport: %8.1f us per record\n", PerRecordUs(pacedTransport, RECORDS));
    std::printf("  bare termios loop:               %8.1f us per record\n", PerRecordUs(pacedTermios, RECORDS));
    std::printf("  wire time (287 + 4 bytes):       %8.1f us per record\n", PerRecordUs(wire, RECORDS));
    std::printf("  ratio transport / termios:       %8.3f  (target <= 1.01)\n", pacedTransport / pacedTermios);

    const std::vector<QByteArray> many = Image(MANY_RECORDS);
    const auto [small, large] =
        BestOfTurns([&] { return RunTransport(instant, lines); }, [&] { return RunTransport(instant, many); }, 5);
    if (small < 0 || large < 0)
        return 1;
    std::printf("Growth, instant peer:\n");
    std::printf("  %6d records:                  %8.1f us per record\n", RECORDS, PerRecordUs(small, RECORDS));
    std::printf("  %6d records:                  %8.1f us per record\n", MANY_RECORDS,
                PerRecordUs(large, MANY_RECORDS));
    std::printf("  ratio:                           %8.2f   (target: constant)\n",
                PerRecordUs(large, MANY_RECORDS) / PerRecordUs(small, RECORDS));

    const double ours = SyscallsPerRecord(argv[0], "transport");
    const double bare = SyscallsPerRecord(argv[0], "termios");
    if (ours < 0 || bare < 0) {
        std::printf("System calls per record: not counted (no strace)\n");
        return 0;
    }
    std::printf("System calls per record on the download's thread, instant peer (strace):\n");
    std::printf("  ImageDownload + SerialTransport: %8.2f   (target <= 5)\n", ours);
    std::printf("  bare termios loop:               %8.2f\n", bare);
    return 0;
}
