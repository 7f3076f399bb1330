// What the message log costs as it grows, through the real main window on
// the simulated controller.
//
// For a log of 10 and of 10,000 messages it times, as the handlers do them:
//  - "read back": UpdateData(true) with the box as the tool last filled it;
//  - "append and show": Log() of one message followed by UpdateData(false);
// and, for information, the repaint of the box that follows the append.
// Every RUN repetitions the log is put back to the chosen number of messages
// (untimed), so every figure is taken within RUN messages of that size, and
// the two sizes take turns; the copy of the log kept to check it is not timed
// either. Each figure is the median of the repetitions; the ratio is the
// 10,000-message median over the 10-message one.
//
// Prints figures only; not part of the test run.
#include "app/ToolDlg.h"
#include "platform/EventLoopClock.h"
#include "platform/Prompts.h"
#include "simulator/SimPlatform.h"
#include <QApplication>
#include <QPlainTextEdit>
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {
using SteadyClock = std::chrono::steady_clock;

constexpr int REPETITIONS = 400;
constexpr int RUN = 8;  // appends in a row before the log is put back to its size
constexpr int SMALL = 10;
constexpr int LARGE = 10'000;

// No dialogs: nothing in this run should ask anything.
class SilentPrompts : public Prompts {
public:
    void messageBox(const QString&, const QString&) override {}
    QString openFileName(const QString&, const QString&) override { return {}; }
};

// Messages as the handlers log them.
const QString& Message(int i)
{
    static const QString messages[] = {
        QStringLiteral("Open Com Port OK!\r\n"),
        QStringLiteral("HID Opened OK!\r\n"),
        QStringLiteral("CloseHandle worked!\r\n"),
        QStringLiteral("Com is: /dev/pts/3\r\n\r\n"),
        QStringLiteral("HID calibrate successfully!\r\n"),
    };
    return messages[i % 5];
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double MicrosSince(SteadyClock::time_point t0)
{
    return std::chrono::duration<double, std::micro>(SteadyClock::now() - t0).count();
}

struct Samples {
    std::vector<double> readBack, appendShow, repaint;  // microseconds
};

// RUN repetitions with the log put back to `messages` messages first.
void MeasureRun(CToolDlg& dlg, int messages, int first, Samples& out)
{
    // Back to `messages` messages, logged one by one as the handlers log
    // them, shown in the box and painted.
    dlg.m_strLog.clear();
    for (int i = 0; i < messages; ++i)
        dlg.Log(Message(i));
    dlg.UpdateData(false);
    QApplication::processEvents();
    for (int r = first; r < first + RUN; ++r) {
        auto t0 = SteadyClock::now();
        dlg.UpdateData(true);
        out.readBack.push_back(MicrosSince(t0));

        // A copy of its own: a share would make the log copy itself when
        // the message goes in front.
        const QString before(dlg.m_strLog.constData(), dlg.m_strLog.size());
        t0 = SteadyClock::now();
        dlg.Log(Message(r));
        dlg.UpdateData(false);
        out.appendShow.push_back(MicrosSince(t0));

        t0 = SteadyClock::now();
        dlg.m_editLog->viewport()->repaint();
        out.repaint.push_back(MicrosSince(t0));

        if (dlg.m_strLog != Message(r) + before)
            std::fprintf(stderr, "bench_log: the log is not the message in front of the old log\n");
    }
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;  // no Config.ini: nothing is found over HID
    QDir::setCurrent(dir.path());

    EventLoopClock clock;
    SilentPrompts prompts;
    SimPlatform sim(clock, prompts);
    auto dlg = std::make_unique<CToolDlg>(sim.platform());
    dlg->show();
    QApplication::processEvents();

    // The two sizes take turns, so that both see the same machine.
    Samples small, large;
    for (int r = 0; r < REPETITIONS; r += RUN) {
        MeasureRun(*dlg, SMALL, r, small);
        MeasureRun(*dlg, LARGE, r, large);
    }

    std::printf("log box, medians of %d repetitions (microseconds)\n", REPETITIONS);
    std::printf("%-28s %12s %12s %8s\n", "", "10 messages", "10,000", "ratio");
    auto row = [](const char* name, const std::vector<double>& a, const std::vector<double>& b) {
        const double ma = Median(a), mb = Median(b);
        std::printf("%-28s %12.1f %12.1f %8.2f\n", name, ma, mb, mb / ma);
    };
    row("read back", small.readBack, large.readBack);
    row("append and show", small.appendShow, large.appendShow);
    row("repaint after the append", small.repaint, large.repaint);
    dlg.reset();
    return 0;
}
