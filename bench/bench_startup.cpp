// How long the tool takes from its start to the main window's first paint,
// beside a bare dialog with one label.
//
// Each figure is a fresh process started by this program: a copy of it that
// shows either a bare dialog with one label (at its own small size, and
// again at the main window's size, so that what the window system does for a
// larger window is in the reference too), or the tool's own start-up as
// `morvax-tool --simulate` runs it in the demo folder: the start-up picture,
// its one-second wait, then the main window on the simulated controller. Each
// is timed from just before it is started to the end of its window's first
// paint (all of the window drawn and handed to the window system); the main
// window's time has the picture's one-second wait taken off, so what it
// counts is the time to put the picture up and the time from the end of the
// wait to the window's first paint. The processor time each process has used
// until then is printed too; for the main window it includes the work done
// during the wait. The kinds alternate; each figure is the median of the
// runs; the ratios are the main window's over each bare dialog's.
//
// Usage: bench_startup [runs]. Runs on QT_QPA_PLATFORM when it is set, else
// on the offscreen platform and, when DISPLAY is set, on X as well (for
// example under xvfb-run). Prints figures only; not part of the test run.
#include "app/QtPrompts.h"
#include "app/ToolApp.h"
#include "app/ToolDlg.h"
#include "platform/EventLoopClock.h"
#include "simulator/SimPlatform.h"
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {
using SteadyClock = std::chrono::steady_clock;  // CLOCK_MONOTONIC: one clock for every process

long long NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(SteadyClock::now().time_since_epoch()).count();
}

// Prints the times and the window's size once the first paint of a window of
// the given class is over, less the wait given, and closes it: the first
// paint event of the window comes in the middle of the paint of the whole
// window; an event posted then is handled after it has been drawn and
// flushed. Watches the whole application, so it finds the window wherever
// it is made.
class FirstPaint : public QObject {
public:
    FirstPaint(const char* className, long long waitNs) : m_className(className), m_waitNs(waitNs)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    bool eventFilter(QObject* o, QEvent* e) override
    {
        // A window drawn out of sight (into a picture) is not on screen yet.
        if (e->type() == QEvent::Paint && !m_seen && o->isWidgetType() && static_cast<QWidget*>(o)->isVisible() &&
            std::strcmp(o->metaObject()->className(), m_className) == 0) {
            m_seen = true;
            QTimer::singleShot(0, [w = static_cast<QWidget*>(o), wait = m_waitNs] {
                timespec cpu{};
                ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
                std::printf("%lld %lld %d %d\n", NowNs() - wait, cpu.tv_sec * 1'000'000'000LL + cpu.tv_nsec,
                            w->width(), w->height());
                std::fflush(stdout);
                w->close();
            });
        }
        return false;
    }

private:
    const char* m_className;
    long long m_waitNs;
    bool m_seen = false;
};

// A dialog with one label, at its own size or at the size given as "WxH".
int RunBare(int argc, char** argv, const char* size)
{
    QApplication app(argc, argv);
    QDialog dlg;
    auto* label = new QLabel(QStringLiteral("MORVAX"), &dlg);
    label->move(10, 10);
    int w = 0, h = 0;
    if (std::sscanf(size, "%dx%d", &w, &h) == 2)
        dlg.resize(w, h);
    FirstPaint probe("QDialog", 0);
    dlg.show();
    return app.exec();
}

// As main() with --simulate, in the demo folder: the start-up picture, then
// the main window on the simulated controller.
int RunMain(int argc, char** argv, const char* demoDir)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("morvax-tool"));
    if (!QDir::setCurrent(QString::fromLocal8Bit(demoDir)))
        return 3;
    EventLoopClock clock;
    QtPrompts prompts;
    SimPlatform sim(clock, prompts);
    FirstPaint probe("CToolDlg", CToolApp::SPLASH_MS * 1'000'000LL);
    CToolApp(sim.platform()).InitInstance();
    return 0;
}

struct Times {
    double wallMs = -1;  // from just before the start to the end of the first paint
    double cpuMs = -1;   // the child's processor time (all threads) until then
    int width = 0, height = 0;  // the window's size
};

// Starts this program as a child of the given kind ("main", or "bare" with
// an optional size "WxH" as arg) and returns its times; negative when it
// failed.
Times Child(const char* self, const char* kind, const char* arg)
{
    int out[2];
    if (::pipe(out) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    char* args[] = {const_cast<char*>(self), const_cast<char*>("--child"), const_cast<char*>(kind),
                    const_cast<char*>(arg), nullptr};
    pid_t pid = 0;
    const long long t0 = NowNs();
    const int rc = posix_spawn(&pid, self, &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        return {};
    }
    std::string text;
    char buf[64];
    ssize_t n;
    while ((n = ::read(out[0], buf, sizeof buf)) > 0)
        text.append(buf, static_cast<size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    long long wall = 0, cpu = 0;
    int w = 0, h = 0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        std::sscanf(text.c_str(), "%lld %lld %d %d", &wall, &cpu, &w, &h) != 4)
        return {};
    return {static_cast<double>(wall - t0) / 1e6, static_cast<double>(cpu) / 1e6, w, h};
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && std::strcmp(argv[1], "--child") == 0) {
        int qtArgc = 1;
        if (std::strcmp(argv[2], "bare") == 0)
            return RunBare(qtArgc, argv, argv[3]);
        return RunMain(qtArgc, argv, argv[3]);
    }
    const int runs = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 21;
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        // Qt wants a private runtime folder; give the children one.
        static char runtime[] = "/tmp/bench_startup.XXXXXX";
        if (::mkdtemp(runtime))
            ::setenv("XDG_RUNTIME_DIR", runtime, 1);
    }
    ::setenv("QT_LOGGING_RULES", "qt.qpa.*=false", 0);

    char self[4096] = {};
    if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        return 1;
    const std::string demoDir = MORVAX_DEMO_DIR;

    // The platform given, or else the offscreen one and, with a display, X.
    std::vector<std::string> platforms;
    if (const char* given = std::getenv("QT_QPA_PLATFORM"))
        platforms.push_back(given);
    else {
        platforms.push_back("offscreen");
        if (std::getenv("DISPLAY"))
            platforms.push_back("xcb");
    }
    // The same start-up without a picture: the wait remains, no picture
    // window is put up.
    char noPicture[] = "/tmp/bench_startup_nopicture.XXXXXX";
    if (!::mkdtemp(noPicture))
        return 1;
    const std::string copy = "cp '" + demoDir + "/Config.ini' '" + noPicture + "/'";
    if (std::system(copy.c_str()) != 0)
        return 1;

    std::printf("start to first paint, medians of %d runs (ms), the picture's one-second wait taken off;\n"
                "ratios: the main window's over each bare dialog's\n",
                runs);
    std::printf("%-10s %-9s %7s %7s %7s %6s %6s %9s %6s %6s\n", "platform", "time", "bare", "sized", "main", "ratio",
                "sized", "no pict.", "ratio", "sized");
    for (const std::string& platform : platforms) {
        ::setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
        // A first main window, not counted, gives the size for the sized
        // bare dialog (and warms the file cache).
        const Times first = Child(self, "main", demoDir.c_str());
        if (first.wallMs < 0) {
            std::fprintf(stderr, "bench_startup: the main window failed on %s\n", platform.c_str());
            return 1;
        }
        const std::string size = std::to_string(first.width) + "x" + std::to_string(first.height);
        std::vector<double> wall[4], cpu[4];  // bare, bare sized, main, main without a picture
        for (int i = 0; i < runs; ++i) {
            const Times t[4] = {Child(self, "bare", "-"), Child(self, "bare", size.c_str()),
                                Child(self, "main", demoDir.c_str()), Child(self, "main", noPicture)};
            for (int k = 0; k < 4; ++k) {
                if (t[k].wallMs < 0) {
                    std::fprintf(stderr, "bench_startup: a child failed on %s\n", platform.c_str());
                    return 1;
                }
                wall[k].push_back(t[k].wallMs);
                cpu[k].push_back(t[k].cpuMs);
            }
        }
        auto row = [&](const char* what, const std::vector<double>* v) {
            const double b = Median(v[0]), s = Median(v[1]), m = Median(v[2]), n = Median(v[3]);
            std::printf("%-10s %-9s %7.1f %7.1f %7.1f %6.2f %6.2f %9.1f %6.2f %6.2f\n", platform.c_str(), what, b, s, m,
                        m / b, m / s, n, n / b, n / s);
        };
        row("wall", wall);
        row("processor", cpu);
        std::printf("%-10s (sized: a bare dialog of %s pixels, the main window's size; processor time includes\n"
                    "%-10s the work done during the wait)\n",
                    "", size.c_str(), "");
    }
    std::system(("rm -rf '" + std::string(noPicture) + "'").c_str());
    return 0;
}
