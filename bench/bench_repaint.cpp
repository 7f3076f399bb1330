// Whether the window keeps painting while a download runs: the real window
// on the simulated controller (a pty peer answering each record after 2 ms),
// a flash download of 2000 records started as the button does, and how often
// the window paints meanwhile: a small probe widget in it asks for a new
// paint after each one, so it paints as often as the window can.
//
// Run it with a display, or with QT_QPA_PLATFORM=offscreen (which paints
// too). Prints figures only; not part of the test run.
#include "TestSupport.h"
#include "app/ToolDlg.h"
#include "platform/EventLoopClock.h"
#include "platform/Prompts.h"
#include "simulator/SimPlatform.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
#include <cstdio>

namespace {
constexpr int RECORDS = 2000;
constexpr int ANSWER_DELAY_MS = 2;

class QuietPrompts : public Prompts {
public:
    void messageBox(const QString& text, const QString&) override { last = text; }
    QString openFileName(const QString&, const QString&) override { return {}; }
    QString last;
};

// Paints whenever the window lets it and asks for the next paint each time.
class Probe : public QWidget {
public:
    using QWidget::QWidget;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override
    {
        ++paints;
        update();
    }
};
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    QByteArray image;
    for (int i = 0; i < RECORDS; ++i)
        image += ":10" + QByteArray::number(i, 16).rightJustified(4, '0') + QByteArray(60, 'A') + "\n";
    if (!WriteFile(QStringLiteral("Config.ini"), "[VID/PID]\r\nVID=2f5a\r\nPID=0107\r\n") ||
        !WriteFile(QStringLiteral("fw.mvx"), image))
        return 1;

    EventLoopClock clock;
    QuietPrompts prompts;
    SimKnobs knobs;
    knobs.answerDelayMs = ANSWER_DELAY_MS;
    SimPlatform sim(clock, prompts, knobs);
    CToolDlg dlg(sim.platform());
    dlg.show();
    QApplication::processEvents();
    dlg.m_strFlashFile = QDir(dir.path()).filePath(QStringLiteral("fw.mvx"));

    auto* probe = new Probe(&dlg);
    probe->setGeometry(0, 0, 2, 2);
    probe->show();
    QApplication::processEvents();
    const int before = probe->paints;
    QElapsedTimer t;
    t.start();
    dlg.Run([&] { dlg.OnFlashDownload(); });
    const double seconds = t.elapsed() / 1000.0;
    const int paints = probe->paints - before;

    std::printf("Flash download of %d records, answers after %d ms, real window (%s):\n", RECORDS,
                ANSWER_DELAY_MS, qPrintable(QApplication::platformName()));
    std::printf("  outcome:                      %s\n", qPrintable(prompts.last));
    std::printf("  duration:                     %8.2f s\n", seconds);
    std::printf("  window paints:                %8d  (%.1f per second; target >= 20)\n", paints, paints / seconds);
    return prompts.last == QStringLiteral("DownLoad Successful!") ? 0 : 1;
}
