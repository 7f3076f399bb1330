// How much memory large image files take: the peak resident memory (VmHWM)
// of this process while the real window's flash "Open" shows a 50 MB image,
// and while that image is downloaded to a peer over a pseudo-terminal that
// answers at once. The peak is reset before each (/proc/self/clear_refs), so
// each figure is what that operation added to what the process used before.
//
// Run it with a display, or with QT_QPA_PLATFORM=offscreen. Prints figures
// only; not part of the test run.
#include "PtyPeer.h"
#include "TestSupport.h"
#include "app/ToolDlg.h"
#include "operations/ImageTransfer.h"
#include "platform/EventLoopClock.h"
#include "platform/Prompts.h"
#include "serial/SerialTransport.h"
#include "simulator/SimPlatform.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {
constexpr qint64 IMAGE_BYTES = 50 * 1000 * 1000;
constexpr qint64 MIB = 1024 * 1024;
constexpr qint64 ALLOWANCE = 32 * MIB;

class PathPrompts : public Prompts {
public:
    void messageBox(const QString& text, const QString&) override { last = text; }
    QString openFileName(const QString&, const QString&) override { return path; }
    QString path, last;
};

// A status field of /proc/self/status in bytes ("VmHWM", "VmRSS").
qint64 Status(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(QByteArray(field) + ':'))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

// Sets the peak back to what is resident now; false where the kernel cannot.
bool ResetPeak()
{
    return WriteFile(QStringLiteral("/proc/self/clear_refs"), "5");
}

void Report(const char* what, qint64 before, qint64 peak, qint64 target)
{
    std::printf("  %-34s resident before %6.1f MiB, peak %6.1f MiB, added %6.1f MiB (target <= %.1f MiB)\n", what,
                double(before) / MIB, double(peak) / MIB, double(peak - before) / MIB, double(target) / MIB);
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const QString path = dir.filePath(QStringLiteral("big.mvx"));
    const QByteArray line = ":10" + QByteArray(64, 'A') + "\n";
    if (!WriteFile(path, line.repeated((IMAGE_BYTES + line.size() - 1) / line.size())))
        return 1;
    const qint64 size = QFileInfo(path).size();
    if (!ResetPeak()) {
        std::fprintf(stderr, "this kernel cannot reset the peak (/proc/self/clear_refs)\n");
        return 1;
    }
    std::printf("Image of %.1f MB (%lld bytes):\n", size / 1e6, static_cast<long long>(size));

    EventLoopClock clock;
    PathPrompts prompts;
    prompts.path = path;
    SimPlatform sim(clock, prompts);
    CToolDlg dlg(sim.platform());
    dlg.show();
    QApplication::processEvents();

    ResetPeak();
    qint64 before = Status("VmRSS");
    dlg.Run([&] { dlg.OnFlashOpen(); });
    QApplication::processEvents();
    Report("flash Open (the window shows it):", before, Status("VmHWM"), ALLOWANCE);

    PtyPeer peer({.keepRecords = false});
    if (!peer.ok())
        return 1;
    SerialTransport transport(clock);
    ImageTransfer transfer(transport, ImageFile::Kind::Flash);
    ResetPeak();
    before = Status("VmRSS");
    QElapsedTimer took;
    took.start();
    const bool loaded = transfer.load(path) == DownloadOutcome::Success;
    const DownloadOutcome sent = loaded ? transfer.send(peer.path()) : DownloadOutcome::CannotOpenFile;
    transfer.close();
    const qint64 peak = Status("VmHWM");
    Report("download of it:", before, peak, size + ALLOWANCE);
    std::printf("  (%d records in %.1f s: %s)\n", transfer.total(), took.elapsed() / 1000.0,
                qPrintable(transfer.message(sent)));
    return sent == DownloadOutcome::Success ? 0 : 1;
}
