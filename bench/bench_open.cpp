// How long the flash "Open" takes, in the real window on the simulated
// controller, from the click until the window has painted the chosen file's
// text: for an ordinary image, for files of one enormous line (which the log
// box would lay out as one paragraph, at a cost that grows with the square of
// its length, were it not cut), and for a large file of ordinary lines.
// For comparison, the time the log box itself takes to show one uncut line of
// a few sizes.
//
// Run it with a display, or with QT_QPA_PLATFORM=offscreen. Prints figures
// only; not part of the test run.
#include "TestSupport.h"
#include "app/ToolDlg.h"
#include "platform/Prompts.h"
#include "simulator/ManualClock.h"
#include "simulator/SimPlatform.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <cstdio>

namespace {
// Answers the file dialog with one path; message boxes are printed.
class OnePathPrompts : public Prompts {
public:
    void messageBox(const QString& text, const QString&) override
    {
        std::printf("  (message: %s)\n", qPrintable(text));
    }
    QString openFileName(const QString&, const QString&) override { return path; }
    QString path;
};

// Milliseconds from the click on the flash "Open" until the window has
// painted, best of three.
double TimeOpen(CToolDlg& dlg, OnePathPrompts& prompts, const QString& path)
{
    prompts.path = path;
    double best = 1e300;
    for (int round = 0; round < 3; ++round) {
        dlg.m_strLog.clear();
        dlg.UpdateData(false);
        QApplication::processEvents();
        QElapsedTimer t;
        t.start();
        dlg.Run([&] { dlg.OnFlashOpen(); });
        dlg.grab();  // lays out and paints what the log box shows
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    ManualClock clock;
    OnePathPrompts prompts;
    SimPlatform sim(clock, prompts);
    CToolDlg dlg(sim.platform());
    dlg.show();
    QApplication::processEvents();

    QByteArray image;
    for (int i = 0; i < 227; ++i)
        image += QByteArray(":10").leftJustified(43, 'A') + "\r\n";
    QByteArray lines;
    while (lines.size() < 8 * 1024 * 1024)
        lines += QByteArray(40, 'L') + '\n';

    std::printf("flash Open until painted (best of 3):\n");
    const struct {
        const char* what;
        QString path;
        QByteArray bytes;
    } files[] = {
        {"227-line image, 10 KB", dir.filePath("image.mvx"), image},
        {"one line of 1 MiB", dir.filePath("line1.mvx"), QByteArray(1024 * 1024, 'x')},
        {"one line of 20 MiB", dir.filePath("line20.mvx"), QByteArray(20 * 1024 * 1024, 'x')},
        {"8 MiB of 40-character lines", dir.filePath("lines.mvx"), lines},
    };
    for (const auto& f : files)
        if (!WriteFile(f.path, f.bytes))
            return 1;
    for (const auto& f : files)
        std::printf("  %-28s %9.1f ms\n", f.what, TimeOpen(dlg, prompts, f.path));

    std::printf("the log box showing one uncut line (once each):\n");
    QPlainTextEdit box;
    box.resize(dlg.m_editLog->size());
    box.setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box.show();
    for (int kib : {16, 64, 256}) {
        box.clear();
        QApplication::processEvents();
        QElapsedTimer t;
        t.start();
        box.setPlainText(QString(kib * 1024, u'x'));
        box.grab();
        std::printf("  %3d KiB                      %9.1f ms\n", kib, t.nsecsElapsed() / 1e6);
    }
    return 0;
}
