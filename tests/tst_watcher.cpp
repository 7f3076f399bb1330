// The Linux device watcher: the events its filter lets through, and this
// machine's own kernel events. Raising an event needs root (a write to a
// device's uevent file, which makes the kernel send the event again without
// touching the device); without it those cases skip.
#include "TestSupport.h"
#include "platform/linux/UdevDeviceWatcher.h"
#include <QDir>
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
    // What may be the controller is heard; everything else, a USB device's
    // interfaces included, is not. The rule is stated here, and udev's way of
    // matching a filter applied to the watcher's table.
    void filterHearsOnlyWhatCanBeTheController_data()
    {
        QTest::addColumn<QString>("subsystem");
        QTest::addColumn<QString>("devtype");
        QTest::addColumn<bool>("heard");
        QTest::newRow("a USB device") << "usb" << "usb_device" << true;
        QTest::newRow("one of its USB interfaces") << "usb" << "usb_interface" << false;
        QTest::newRow("a HID node") << "hidraw" << "" << true;
        QTest::newRow("a serial port") << "tty" << "" << true;
        QTest::newRow("an input device") << "input" << "" << false;
        QTest::newRow("a disk") << "block" << "disk" << false;
        QTest::newRow("a network adapter") << "net" << "" << false;
    }
    void filterHearsOnlyWhatCanBeTheController()
    {
        QFETCH(QString, subsystem);
        QFETCH(QString, devtype);
        bool heard = false;
        for (const UdevDeviceWatcher::Filter& f : UdevDeviceWatcher::FILTERS)
            heard = heard ||
                    (subsystem == QLatin1String(f.subsystem) && (!f.devtype || devtype == QLatin1String(f.devtype)));
        QTEST(heard, "heard");
    }

    // The event of a real USB interface is not heard; its device's is.
    void usbInterfaceEventsAreNotHeard()
    {
        if (::geteuid() != 0)
            QSKIP("raising device events needs root");
        // Interfaces are named after their device and configuration ("1-1:1.0").
        const QFileInfoList interfaces =
            QDir(QStringLiteral("/sys/bus/usb/devices")).entryInfoList({QStringLiteral("*:*")}, QDir::Dirs);
        if (interfaces.isEmpty())
            QSKIP("no USB device on this machine (no interface under /sys/bus/usb/devices)");
        const QString iface = interfaces.first().canonicalFilePath();
        const QString device = QFileInfo(iface).path();  // the interface's parent is its device
        UdevDeviceWatcher w(nullptr, "kernel");
        QVERIFY2(w.start(), qPrintable(w.errorText()));
        QSignalSpy arrived(&w, &DeviceWatcher::deviceArrived);
        QVERIFY(raiseUevent(qPrintable(iface + "/uevent"), "add"));
        QVERIFY(raiseUevent(qPrintable(device + "/uevent"), "add"));
        QTRY_VERIFY_WITH_TIMEOUT(!arrived.isEmpty(), 5000);
        QCoreApplication::processEvents();
        QCOMPARE(subsystems(arrived), QStringList{QStringLiteral("usb")});
    }

    void reportsResentEventsOfAWatchedDeviceAndStopsCleanly()
    {
        if (::geteuid() != 0)
            QSKIP("raising device events needs root");
        if (!QFile::exists(QString::fromLatin1(TTY_UEVENT)))
            QSKIP("no virtual terminal to raise events on");
        UdevDeviceWatcher w(nullptr, "kernel");
        QVERIFY2(w.start(), qPrintable(w.errorText()));
        QCOMPARE(w.source(), QStringLiteral("kernel"));
        QSignalSpy arrived(&w, &DeviceWatcher::deviceArrived);
        QSignalSpy removed(&w, &DeviceWatcher::deviceRemoved);
        // The null device and the network device come first and must be
        // filtered out in the kernel: only the terminal's events arrive. A
        // change of the terminal is neither an arrival nor a removal.
        raiseUevent(MEM_NULL_UEVENT, "add");
        raiseUevent(LOOPBACK_UEVENT, "add");
        raiseUevent(LOOPBACK_UEVENT, "remove");
        QVERIFY(raiseUevent(TTY_UEVENT, "change"));
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
