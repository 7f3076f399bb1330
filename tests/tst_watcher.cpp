// The Linux device watcher on this machine's own kernel events. Raising an
// event needs root (a write to a device's uevent file, which makes the kernel
// send the event again without touching the device); without it the case skips.
#include "platform/UdevDeviceWatcher.h"
#include <QFile>
#include <QSignalSpy>
#include <QtTest>
#include <unistd.h>

namespace {
const char* const LOOPBACK_UEVENT = "/sys/class/net/lo/uevent";
// A device outside the watched subsystems.
const char* const MEM_NULL_UEVENT = "/sys/class/mem/null/uevent";

// Asks the kernel to send the event `action` ("add", "remove") for an
// existing device.
bool raiseUevent(const char* path, const char* action)
{
    QFile f(QString::fromLatin1(path));
    return f.open(QIODevice::WriteOnly) && f.write(action) == qint64(qstrlen(action));
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
        if (!QFile::exists(QString::fromLatin1(LOOPBACK_UEVENT)))
            QSKIP("no loopback network device to raise events on");
    }

    void reportsResentEventsOfAWatchedDeviceAndStopsCleanly()
    {
        UdevDeviceWatcher w(nullptr, "kernel");
        QVERIFY2(w.start(), qPrintable(w.errorText()));
        QCOMPARE(w.source(), QStringLiteral("kernel"));
        QSignalSpy arrived(&w, &DeviceWatcher::deviceArrived);
        QSignalSpy removed(&w, &DeviceWatcher::deviceRemoved);
        // The null device comes first and must be filtered out.
        raiseUevent(MEM_NULL_UEVENT, "add");
        QVERIFY(raiseUevent(LOOPBACK_UEVENT, "add"));
        QTRY_VERIFY_WITH_TIMEOUT(!arrived.isEmpty(), 5000);
        QCOMPARE(subsystems(arrived).first(), QStringLiteral("net"));
        QVERIFY(!subsystems(arrived).contains(QStringLiteral("mem")));
        QCOMPARE(removed.count(), 0);
        QVERIFY(raiseUevent(LOOPBACK_UEVENT, "remove"));
        QTRY_VERIFY_WITH_TIMEOUT(!removed.isEmpty(), 5000);
        QCOMPARE(subsystems(removed).first(), QStringLiteral("net"));

        // Stopped (twice is harmless), it is silent; started again, it reports.
        w.stop();
        w.stop();
        arrived.clear();
        QVERIFY(raiseUevent(LOOPBACK_UEVENT, "add"));
        QTest::qWait(300);
        QCOMPARE(arrived.count(), 0);
        QVERIFY(w.start());
        QVERIFY(raiseUevent(LOOPBACK_UEVENT, "add"));
        QTRY_VERIFY_WITH_TIMEOUT(!arrived.isEmpty(), 5000);
        w.stop();
    }
};

QTEST_MAIN(TestWatcher)
#include "tst_watcher.moc"
