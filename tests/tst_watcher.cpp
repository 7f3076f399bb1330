// The Linux device watcher on this machine's own kernel events. Raising an
// event needs root (a write to a device's uevent file, which makes the kernel
// send the event again without touching the device); without it the case skips.
#include "TestSupport.h"
#include "platform/linux/UdevDeviceWatcher.h"
#include <QSignalSpy>
#include <QtTest>
#include <unistd.h>

namespace {
// A watched device: a virtual terminal, in the tty subsystem as serial ports are.
const char* const TTY_UEVENT = "/sys/class/tty/tty0/uevent";
// Devices outside the watched subsystems: they must not be heard.
const char* const LOOPBACK_UEVENT = "/sys/class/net/lo/uevent";
const char* const MEM_NULL_UEVENT = "/sys/class/mem/null/uevent";

// Asks the kernel to send the event `action` ("add", "remove") for an
// existing device.
bool raiseUevent(const char* path, const char* action)
{
    return WriteFile(QString::fromLatin1(path), action);
}

QStringList subsystems(const QSignalSpy& spy)
{
    QStringList out;
    for (const QList<QVariant>& args : spy)
        out << args.at(0).toString();
    return out;
}
} // namespace

class TestWatcher : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        if (::geteuid() != 0)
            QSKIP("raising device events needs root");
        if (!QFile::exists(QString::fromLatin1(TTY_UEVENT)))
            QSKIP("no virtual terminal to raise events on");
    }

    void reportsResentEventsOfAWatchedDeviceAndStopsCleanly()
    {
        UdevDeviceWatcher w(nullptr, "kernel");
        QVERIFY2(w.start(), qPrintable(w.errorText()));
        QCOMPARE(w.source(), QStringLiteral("kernel"));
        QSignalSpy arrived(&w, &DeviceWatcher::deviceArrived);
        QSignalSpy removed(&w, &DeviceWatcher::deviceRemoved);
        // The null device and the network device come first and must be
        // filtered out in the kernel: only the terminal's events arrive.
        raiseUevent(MEM_NULL_UEVENT, "add");
        raiseUevent(LOOPBACK_UEVENT, "add");
        raiseUevent(LOOPBACK_UEVENT, "remove");
        QVERIFY(raiseUevent(TTY_UEVENT, "add"));
        QTRY_VERIFY_WITH_TIMEOUT(!arrived.isEmpty(), 5000);
        QCOMPARE(subsystems(arrived), QStringList{QStringLiteral("tty")});
        QCOMPARE(removed.count(), 0);
        QVERIFY(raiseUevent(TTY_UEVENT, "remove"));
        QTRY_VERIFY_WITH_TIMEOUT(!removed.isEmpty(), 5000);
        QCOMPARE(subsystems(removed), QStringList{QStringLiteral("tty")});

        // Stopped (twice is harmless), it is silent, though a second watcher
        // hears the event; started again, it reports.
        w.stop();
        w.stop();
        arrived.clear();
        UdevDeviceWatcher witness(nullptr, "kernel");
        QVERIFY(witness.start());
        QSignalSpy witnessed(&witness, &DeviceWatcher::deviceArrived);
        QVERIFY(raiseUevent(TTY_UEVENT, "add"));
        QTRY_VERIFY_WITH_TIMEOUT(!witnessed.isEmpty(), 5000);
        QCoreApplication::processEvents();
        QCOMPARE(arrived.count(), 0);
        QVERIFY(w.start());
        QVERIFY(raiseUevent(TTY_UEVENT, "add"));
        QTRY_VERIFY_WITH_TIMEOUT(!arrived.isEmpty(), 5000);
        w.stop();
    }
};

QTEST_MAIN(TestWatcher)
#include "tst_watcher.moc"
