// The Linux device watcher on this machine's own kernel events. Raising an
// event needs root (a write to a device's uevent file, or a tun network
// device); without it the cases skip.
#include "platform/UdevDeviceWatcher.h"
#include <QFile>
#include <QSignalSpy>
#include <QtTest>
#include <fcntl.h>
#include <linux/if.h>
#include <linux/if_tun.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
const char* const LOOPBACK_UEVENT = "/sys/class/net/lo/uevent";
// A device outside the watched subsystems.
const char* const MEM_NULL_UEVENT = "/sys/class/mem/null/uevent";

// Asks the kernel to send the event `action` again for an existing device.
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

    void reportsAResentAddOfAWatchedDeviceOnly()
    {
        UdevDeviceWatcher w(nullptr, "kernel");
        QVERIFY2(w.start(), qPrintable(w.errorText()));
        QSignalSpy arrived(&w, &DeviceWatcher::deviceArrived);
        QSignalSpy removed(&w, &DeviceWatcher::deviceRemoved);
        // The null device comes first and must be filtered out.
        raiseUevent(MEM_NULL_UEVENT, "add");
        QVERIFY(raiseUevent(LOOPBACK_UEVENT, "add"));
        QTRY_VERIFY_WITH_TIMEOUT(!arrived.isEmpty(), 5000);
        QCOMPARE(subsystems(arrived).first(), QStringLiteral("net"));
        QVERIFY(!subsystems(arrived).contains(QStringLiteral("mem")));
        QCOMPARE(removed.count(), 0);
        w.stop();
    }

    void reportsArrivalAndRemovalOfANetworkDevice()
    {
        UdevDeviceWatcher w(nullptr, "kernel");
        QVERIFY2(w.start(), qPrintable(w.errorText()));
        QSignalSpy arrived(&w, &DeviceWatcher::deviceArrived);
        QSignalSpy removed(&w, &DeviceWatcher::deviceRemoved);

        // A tun device lives as long as its descriptor: a real plug and unplug.
        const int fd = ::open("/dev/net/tun", O_RDWR | O_CLOEXEC);
        if (fd < 0)
            QSKIP("no tun device here");
        ifreq ifr{};
        ifr.ifr_flags = IFF_TUN | IFF_NO_PI;
        qstrncpy(ifr.ifr_name, "mvxw%d", IFNAMSIZ);
        if (::ioctl(fd, TUNSETIFF, &ifr) < 0) {
            ::close(fd);
            QSKIP("cannot create a tun network device here");
        }
        QTRY_VERIFY_WITH_TIMEOUT(subsystems(arrived).contains(QStringLiteral("net")), 5000);
        ::close(fd);
        QTRY_VERIFY_WITH_TIMEOUT(subsystems(removed).contains(QStringLiteral("net")), 5000);
        // Its queues have a subsystem of their own, which is not watched.
        QVERIFY(!subsystems(arrived).contains(QStringLiteral("queues")));
        QVERIFY(!subsystems(removed).contains(QStringLiteral("queues")));
    }

    void stoppedWatcherIsSilentAndStartsAgain()
    {
        UdevDeviceWatcher w(nullptr, "kernel");
        QVERIFY(w.start());
        QCOMPARE(w.source(), QStringLiteral("kernel"));
        QSignalSpy arrived(&w, &DeviceWatcher::deviceArrived);
        w.stop();
        w.stop();  // twice is harmless
        QVERIFY(raiseUevent(LOOPBACK_UEVENT, "add"));
        QTest::qWait(300);
        QCOMPARE(arrived.count(), 0);

        QVERIFY(w.start());
        QVERIFY(raiseUevent(LOOPBACK_UEVENT, "add"));
        QTRY_VERIFY_WITH_TIMEOUT(!arrived.isEmpty(), 5000);
    }
};

QTEST_MAIN(TestWatcher)
#include "tst_watcher.moc"
