// The status plot under a controller that streams without pause: a peer in a
// process of its own (this program run with --peer, the simulated controller
// with statusRate=1000) streams 1000 complete "$" lines a second after "n n"
// on a pseudo-terminal the tool opens at 460800 bit/s 8N2; the real main
// window opens the plot at 800x500 and records for SECONDS. Prints:
//   - reports the peer sent, the recording read, and the plot took (each
//     complete report the plot takes is drawn);
//   - the worst lag of a repaint: for each paint, how long the oldest report
//     it did not show yet had been received (a report counts as received when
//     the read that brought its CR returned);
//   - repaints per second;
//   - the processor time of this process (the tool: window, plot and its
//     reading thread), as a share of one core, and by thread.
//
// Run it under Xvfb for the real X path:
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/bench_plot [seconds]
// Prints figures only; not part of the test run.
#include "TestSupport.h"
#include "app/PlotCanvas.h"
#include "app/StatusPlot.h"
#include "app/ToolDlg.h"
#include "platform/EventLoopClock.h"
#include "simulator/SimController.h"
#include "simulator/SimPlatform.h"
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <map>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {
constexpr int RATE = 1000;
constexpr int DEFAULT_SECONDS = 60;
constexpr int LAG_BOUND_MS = 50;

// The controller's side, in a process of its own: the simulated controller
// with statusRate=RATE, served on a pseudo-terminal whose port this process
// does not hold open (a process that holds it would make the tool's open
// busy), so the tool's close shows here as a hang-up, which ends the stream.
// Prints the port, then, once its standard input closes, the lines and bytes
// it gave out.
int Peer()
{
    int argc = 1;
    char name[] = "bench_plot_peer";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    EventLoopClock clock;
    SimKnobs knobs;
    knobs.statusRate = RATE;
    knobs.startPresent = false;  // its own pty is served below
    SimController controller(clock, knobs);
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    char port[128] = {};
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, port, sizeof port) != 0)
        return 1;
    std::printf("%s\n", port);
    std::fflush(stdout);
    ::fcntl(0, F_SETFL, ::fcntl(0, F_GETFL) | O_NONBLOCK);
    QByteArray out;
    bool open = false;  // the tool has the port open
    char buf[4096];
    for (;;) {
        pollfd p[2] = {{master, POLLIN, 0}, {0, POLLIN, 0}};
        ::poll(p, 2, open || controller.streaming() ? 1 : 5);
        if (p[1].revents & (POLLIN | POLLHUP)) {
            if (::read(0, buf, sizeof buf) <= 0)
                break;
        }
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n > 0) {
            open = true;
            int delayMs = 0;
            bool stopLine = false;
            out += controller.onSerialBytes(QByteArray(buf, n), delayMs, stopLine);
        } else if (n < 0 && errno == EIO && open) {
            open = false;  // the tool let go of the port
            controller.endStream();
            out.clear();
        }
        if (open && controller.streaming())
            out += controller.dueStatusLines();
        while (open && !out.isEmpty()) {
            const ssize_t w = ::write(master, out.constData(), static_cast<size_t>(out.size()));
            if (w <= 0)
                break;
            out.remove(0, w);
        }
    }
    const std::int64_t lines = controller.streamedLines();
    std::int64_t bytes = 0;
    for (std::int64_t k = 0; k < lines; ++k)
        bytes += SimController::StreamLine(k, RATE, 6).size();
    std::printf("%lld %lld\n", static_cast<long long>(lines), static_cast<long long>(bytes));
    return 0;
}

class QuietPrompts : public Prompts {
public:
    void messageBox(const QString&, const QString&) override {}
    QString openFileName(const QString&, const QString&) override { return {}; }
};

// Notes each paint of the canvas: when, and how many reports the history held
// (all of which the paint shows, the view following the newest).
class PaintLog : public QObject {
public:
    PaintLog(const StatusHistory& history) : m_history(history) {}
    struct Paint {
        std::int64_t utcMs;
        qsizetype held;
    };
    std::vector<Paint> paints;
    bool on = false;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (on && e->type() == QEvent::Paint)
            paints.push_back({QDateTime::currentMSecsSinceEpoch(), m_history.size()});
        return false;
    }

private:
    const StatusHistory& m_history;
};

// Processor time of this process's threads, in ns, by thread name.
std::map<QString, double> ThreadTimes()
{
    std::map<QString, double> out;
    for (const QString& tid : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(tid));
        QFile sched(QStringLiteral("/proc/self/task/%1/schedstat").arg(tid));
        if (!comm.open(QIODevice::ReadOnly) || !sched.open(QIODevice::ReadOnly))
            continue;
        const QString name = QString::fromLocal8Bit(comm.readAll()).trimmed() + QStringLiteral(" (") + tid + u')';
        out[name] = QString::fromLatin1(sched.readAll()).split(u' ').value(0).toDouble();
    }
    return out;
}

double ProcessSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void Wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && QByteArray(argv[1]) == "--peer")
        return Peer();
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : DEFAULT_SECONDS;

    QProcess peer;
    peer.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--peer")});
    if (!peer.waitForReadyRead(5000)) {
        std::fprintf(stderr, "the peer did not start\n");
        return 1;
    }
    const QString port = QString::fromLocal8Bit(peer.readLine()).trimmed();

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    WriteFile(QStringLiteral("Config.ini"), "[VID/PID]\r\nVID=2f5a\r\nPID=0107\r\n");
    EventLoopClock clock;
    QuietPrompts prompts;
    // No controller of the window's own: the peer's port is the one it uses.
    SimPlatform sim(clock, prompts, KnobsIn(SimKnobs::Mode::Com, false));
    CToolDlg dlg(sim.platform());
    dlg.show();
    Wait(200);
    dlg.m_strComPort = port;
    dlg.g_bComMode = 1;
    StatusPlot* plot = dlg.OpenStatusPlot();
    plot->resize(800, 500);
    Wait(500);
    const StatusHistory& history = plot->history();
    PaintLog paints(history);
    plot->canvas()->installEventFilter(&paints);

    const auto threadsBefore = ThreadTimes();
    const double cpuBefore = ProcessSeconds();
    QElapsedTimer wall;
    wall.start();
    paints.on = true;
    plot->OnRecord();
    Wait(seconds * 1000);
    paints.on = false;
    const double cpu = ProcessSeconds() - cpuBefore;
    const double elapsed = wall.nsecsElapsed() / 1e9;
    const auto threadsAfter = ThreadTimes();
    plot->OnRecord();  // Stop
    for (int i = 0; i < 200 && plot->recording(); ++i)
        Wait(10);
    peer.closeWriteChannel();
    peer.waitForFinished(5000);
    const QStringList sent = QString::fromLocal8Bit(peer.readAll()).trimmed().split(u' ');

    // The worst lag of a paint behind the reports received before it.
    std::int64_t worst = 0;
    int late = 0;
    for (const PaintLog::Paint& p : paints.paints) {
        if (p.held >= history.size() || history.at(p.held).utcMs > p.utcMs)
            continue;
        const std::int64_t lag = p.utcMs - history.at(p.held).utcMs;
        worst = std::max(worst, lag);
        late += lag > LAG_BOUND_MS ? 1 : 0;
    }
    const double lineBytes = sent.size() == 2 ? sent[1].toDouble() / std::max(1.0, sent[0].toDouble()) : 0;
    std::printf("Status plot, %d reports/s from a peer process at 460800 8N2 (%s), window 800x500 (%s), %.1f s:\n",
                RATE, qPrintable(port), qPrintable(QApplication::platformName()), elapsed);
    std::printf("  reports sent by the peer:       %10s  (%.1f bytes a line; the line carries %d bytes/s)\n",
                qPrintable(sent.value(0)), lineBytes, 460800 / 11);
    std::printf("  reports read by the recording:  %10lld\n", static_cast<long long>(plot->recordedReports()));
    std::printf("  reports plotted:                %10lld  (incomplete %lld)\n",
                static_cast<long long>(history.complete()), static_cast<long long>(history.incomplete()));
    std::printf("  repaints:                       %10zu  (%.1f per second; target >= 30)\n", paints.paints.size(),
                paints.paints.size() / elapsed);
    std::printf("  worst lag of a repaint:         %10lld ms (repaints later than %d ms: %d; target: none)\n",
                static_cast<long long>(worst), LAG_BOUND_MS, late);
    std::printf("  processor time of the tool:     %10.2f s = %.1f %% of one core (target <= 10 %%)\n", cpu,
                100 * cpu / elapsed);
    for (const auto& [name, after] : threadsAfter) {
        const auto it = threadsBefore.find(name);
        const double ns = after - (it == threadsBefore.end() ? 0 : it->second);
        if (ns > 1e6)
            std::printf("    %-28s %6.2f %%\n", qPrintable(name), 100 * ns / 1e9 / elapsed);
    }
    std::printf("  outcome: %s\n", plot->recording() ? "still recording" : "stopped");
    return plot->recordedReports() == history.complete() ? 0 : 1;
}
