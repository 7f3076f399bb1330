// How a station scales: a 255-record flash into 1, 2, 4 and 8 controllers
// at once, each a pseudo-terminal answering at the pace of a 460800 bit/s
// 8N2 line from a process of its own (this program, started with --peer).
// Prints each run's wall time and its ratio to one controller's, and the
// station's own processor time per record beside a single download's (the
// same exchange on the main thread). Best of three runs each.
//
// Prints figures only; not part of the test run.
#include "PtyPeer.h"
#include "cli/Output.h"
#include "cli/Station.h"
#include "operations/ImageTransfer.h"
#include "platform/EventLoopClock.h"
#include "serial/SerialTransport.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr int RECORDS = 255;

double CpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Run {
    double wall = 1e9, cpu = 1e9;  // seconds
};

// The peers, each in a process of its own; their ports.
std::vector<std::unique_ptr<QProcess>> Peers(int n, QStringList& ports)
{
    std::vector<std::unique_ptr<QProcess>> peers;
    for (int i = 0; i < n; ++i) {
        auto p = std::make_unique<QProcess>();
        p->start(QCoreApplication::applicationFilePath(), {"--peer"});
        p->waitForReadyRead(10000);
        ports << QString::fromLocal8Bit(p->readLine()).trimmed();
        peers.push_back(std::move(p));
    }
    return peers;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && QByteArray(argv[1]) == "--peer") {
        PtyPeer peer({.paced = true, .holdPort = false, .keepRecords = false});
        std::printf("%s\n", qPrintable(peer.path()));
        std::fflush(stdout);
        char c;
        while (::read(0, &c, 1) > 0) {
        }
        return 0;
    }
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("fw.mvx"));
    QFile f(image);
    f.open(QIODevice::WriteOnly);
    for (int i = 0; i < RECORDS; ++i)
        f.write(":10" + QByteArray::number(i, 16).rightJustified(4, '0') + QByteArray(60, 'A') + "\n");
    f.close();
    EventLoopClock clock;
    std::FILE* devNull = std::fopen("/dev/null", "w");
    Output out(false, devNull, devNull);

    // A single download on the main thread, as one command runs it.
    Run single;
    {
        QStringList ports;
        auto peers = Peers(1, ports);
        for (int round = 0; round < 3; ++round) {
            SerialTransport transport(clock);
            ImageTransfer transfer(transport, ImageFile::Kind::Flash);
            transfer.load(image);
            const double cpu = CpuSeconds();
            QElapsedTimer t;
            t.start();
            transfer.send(ports.first());
            transfer.close();
            single.wall = std::min(single.wall, t.nsecsElapsed() / 1e9);
            single.cpu = std::min(single.cpu, CpuSeconds() - cpu);
        }
        for (auto& p : peers)
            p->closeWriteChannel(), p->waitForFinished();
    }
    std::printf("single download: %.3f s, %.1f us of processor time per record\n", single.wall,
                single.cpu / RECORDS * 1e6);

    Platform platform;
    platform.clock = &clock;
    const StationTask task{ImageFile::Kind::Flash, "flash", image, {}, {}, "2f5a", "0107"};
    double oneWall = 0;
    for (int n : {1, 2, 4, 8}) {
        QStringList ports;
        auto peers = Peers(n, ports);
        Run best;
        for (int round = 0; round < 3; ++round) {
            std::vector<SlotTarget> targets;
            for (int i = 0; i < n; ++i)
                targets.push_back({QStringLiteral("S%1").arg(i + 1), QStringLiteral("1-%1").arg(i + 1), {}, ports[i], {}});
            Station station(platform, out, task, SlotMap(), nullptr, [] { return 0; }, QString());
            station.choose(targets);
            const double cpu = CpuSeconds();
            QElapsedTimer t;
            t.start();
            const int exit = station.run();
            best.wall = std::min(best.wall, t.nsecsElapsed() / 1e9);
            best.cpu = std::min(best.cpu, CpuSeconds() - cpu);
            if (exit != 0)
                std::printf("  (run of %d ended with %d)\n", n, exit);
        }
        if (n == 1)
            oneWall = best.wall;
        std::printf("%d controller%s at once: %.3f s, %.3f x one; %.1f us of processor time per record (%.2f x a "
                    "single download's)\n",
                    n, n > 1 ? "s" : " ", best.wall, best.wall / oneWall, best.cpu / (n * RECORDS) * 1e6,
                    (best.cpu / (n * RECORDS)) / (single.cpu / RECORDS));
        for (auto& p : peers)
            p->closeWriteChannel(), p->waitForFinished();
    }
    std::fclose(devNull);
    return 0;
}
