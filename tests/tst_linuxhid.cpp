// LinuxHidBus (hidapi's hidraw backend over libudev) against emulated hidraw
// devices. The test runs itself again in a private mount namespace with a
// tmpfs over /sys, where FakeHidraw builds the sysfs tree libudev reads
// (SYSTEMD_DEVICE_VERIFY_SYSFS=0 lets it read a tree that is not sysfs), and
// with HidrawShim preloaded, which serves /dev/hidraw* from files whose owner
// and mode the kernel checks. Skipped, with the reason, where no mount
// namespace can be made.
//
// To add a case, add a row: a device is a FakeHidDevice; the bench plugs and
// unplugs devices, answers feature reads, injects errors into feature
// exchanges, and tells what reached the node (takeLog()).
#include "TestSupport.h"
#include "hid/HidLink.h"
#include "hidraw/FakeHidraw.h"
#include "operations/Calibration.h"
#include "operations/ModeSwitch.h"
#include "platform/linux/LinuxHidBus.h"
#include "simulator/SimHidBus.h"
#include <QtTest>
#include <cerrno>
#include <cstring>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <unistd.h>

namespace {
using Bytes = std::vector<std::uint8_t>;

constexpr gid_t PLUGDEV = 46;
constexpr uid_t NOBODY = 65534;

// hidraw2 and hidraw10, so that a numeric order of the nodes can be told
// from a lexical one.
FakeHidDevice Controller(mode_t mode = 0660, gid_t group = PLUGDEV)
{
    return {QStringLiteral("hidraw2"), 0x2f5a, 0x0107, 0x0213, QStringLiteral("MORVAX touch controller"),
            SimHidBus::controllerDescriptor(), mode, group};
}
FakeHidDevice Keyboard()
{
    return {QStringLiteral("hidraw10"), 0x1c4f, 0x0002, 0x0110, QStringLiteral("Bench USB keyboard"),
            SimHidBus::keyboardDescriptor(), 0600, 0};
}

// Runs the test again inside a private mount namespace (a user namespace of
// its own when not root) with a tmpfs over /sys and the shim preloaded.
// Returns only when that cannot be done, with the reason in
// MORVAX_HIDRAW_SKIP.
void EnterBench(char** argv)
{
    std::string why;
    auto failed = [&why](const char* what) { why = std::string(what) + ": " + std::strerror(errno); };
    bool userNs = false;
    if (::unshare(CLONE_NEWNS) != 0) {
        const QByteArray uid = QByteArray::number(::getuid()), gid = QByteArray::number(::getgid());
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            failed("no private mount namespace (unshare -m needs CAP_SYS_ADMIN, and user namespaces are not allowed)");
        else if (!WriteFile("/proc/self/setgroups", "deny") || !WriteFile("/proc/self/uid_map", "0 " + uid + " 1\n") ||
                 !WriteFile("/proc/self/gid_map", "0 " + gid + " 1\n"))
            failed("cannot map this user into a user namespace");
        userNs = true;
    }
    if (why.empty() && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        failed("cannot make the mount namespace private");
    if (why.empty() && ::mount("tmpfs", "/sys", "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC, "mode=0755") != 0)
        failed("cannot mount a tmpfs over /sys");
    if (why.empty()) {
        ::setenv("LD_PRELOAD", HIDRAW_SHIM, 1);
        ::setenv("SYSTEMD_DEVICE_VERIFY_SYSFS", "0", 1);
        ::setenv("MORVAX_HIDRAW_BENCH", userNs ? "userns" : "root", 1);
        ::execv("/proc/self/exe", argv);
        failed("cannot run the test again");
    }
    ::setenv("MORVAX_HIDRAW_SKIP", why.c_str(), 1);
}
} // namespace

class TestLinuxHid : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsSet("MORVAX_HIDRAW_SKIP"))
            QSKIP(qPrintable(QStringLiteral("no emulated hidraw bench here: ") + qEnvironmentVariable("MORVAX_HIDRAW_SKIP")));
    }

    // Attributes from udev, report lengths from the descriptor read through
    // the hidraw ioctls.
    void device_data()
    {
        QTest::addColumn<QString>("node");
        QTest::addColumn<int>("vid");
        QTest::addColumn<int>("pid");
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("input");
        QTest::addColumn<int>("output");
        QTest::addColumn<int>("feature");
        QTest::newRow("controller") << "hidraw2" << 0x2f5a << 0x0107 << 0x0213 << 64 << 64 << 2;
        QTest::newRow("keyboard") << "hidraw10" << 0x1c4f << 0x0002 << 0x0110 << 9 << 2 << 0;
    }
    void device()
    {
        QFETCH(QString, node);
        FakeHidraw bench;
        QVERIFY(bench.add(Controller()) && bench.add(Keyboard()));
        LinuxHidBus bus;
        auto dev = bus.open("/dev/" + node.toStdString());
        QVERIFY(dev);
        HidAttributes a;
        QVERIFY(dev->attributes(a));
        QTEST(int(a.vendorId), "vid");
        QTEST(int(a.productId), "pid");
        QTEST(int(a.versionNumber), "version");
        HidCaps caps;
        QVERIFY(dev->caps(caps));
        QTEST(int(caps.inputReportLength), "input");
        QTEST(int(caps.outputReportLength), "output");
        QTEST(int(caps.featureReportLength), "feature");
    }

    // The switch and calibrate reports reach the node, and what it answers
    // comes back.
    void featureReports_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QByteArray>("answer");  // to a read of report 2; null: none
        QTest::addColumn<QString>("failing");    // "set" or "get": that exchange fails with EPIPE
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("switch to COM") << "switch" << QByteArray() << "" << true << QStringList{"hidraw2 set 02 40"};
        QTest::newRow("switch to COM refused") << "switch" << QByteArray() << "set" << false
                                               << QStringList{"hidraw2 set 02 40"};
        QTest::newRow("calibrate") << "calibrate" << QByteArray("\x02\x02") << "" << true
                                   << QStringList{"hidraw2 set 02 23", "hidraw2 get 02 -> 02 02"};
        QTest::newRow("calibrate, read-back fails") << "calibrate" << QByteArray("\x02\x02") << "get" << false
                                                    << QStringList{"hidraw2 set 02 23", "hidraw2 get 02: Broken pipe"};
    }
    void featureReports()
    {
        QFETCH(QString, operation);
        QFETCH(QByteArray, answer);
        QFETCH(QString, failing);
        QFETCH(bool, ok);
        FakeHidraw bench;
        QVERIFY(bench.add(Controller()));
        if (!answer.isNull())
            QVERIFY(bench.setFeatureAnswer("hidraw2", 0x02, answer));
        if (!failing.isEmpty())
            QVERIFY(bench.failFeature("hidraw2", failing.toLatin1().constData(), EPIPE));
        LinuxHidBus bus;
        std::unique_ptr<HidDevice> dev = bus.open("/dev/hidraw2");
        QVERIFY(dev);
        bench.takeLog();
        ManualClock clock;
        // What the window logs beside its message when the report fails.
        QString why;
        if (operation == "switch") {
            why = ModeSwitch::toCom(*dev, clock).line();
        } else {
            Calibration calibration(clock);
            const Calibration::Outcome outcome = calibration.run(dev);
            QCOMPARE(outcome != Calibration::Outcome::ReadFailed, ok);
            const Bytes report(calibration.report().begin(), calibration.report().end());
            QCOMPARE(report, (ok ? Bytes{0x02, 0x02} : Bytes{0x02, 0x23}));
            why = calibration.failure().line();
        }
        const QString step = failing == "set" ? "feature report" : "read-back";
        QCOMPARE(why, ok ? QString() : "/dev/hidraw2: " + step + ": Broken pipe");
        QTEST(bench.takeLog(), "log");
    }

    // What a user without root meets on the node, by its owner, group and
    // mode: the bus's open, and the HID search of the window's Setting
    // command (which then logs "Could not find the specified HID device!").
    void openAsUser_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("inPlugdev");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("openLog");
        QTest::addColumn<QString>("searchLog");  // HidLink's log after the search
        const QString found = "HID Opened OK!\r\nFound HID Device!\r\n";
        QTest::newRow("root's node: permission denied") << 0600 << true << false
                                                        << "hidraw2 open: Permission denied" << "";
        QTest::newRow("plugdev node, user not in plugdev") << 0660 << false << false
                                                           << "hidraw2 open: Permission denied" << "";
        QTest::newRow("plugdev node, user in plugdev") << 0660 << true << true << "hidraw2 open: ok" << found;
    }
    void openAsUser()
    {
        QFETCH(int, mode);
        QFETCH(bool, inPlugdev);
        QFETCH(bool, opens);
        if (qEnvironmentVariable("MORVAX_HIDRAW_BENCH") != "root")
            QSKIP("switching to another user needs root");
        FakeHidraw bench;
        QVERIFY(bench.add(Controller(mode_t(mode), PLUGDEV)));
        bench.takeLog();
        LinuxHidBus bus;
        AsUser user(NOBODY, NOBODY, inPlugdev ? std::vector<gid_t>{PLUGDEV} : std::vector<gid_t>{});
        QVERIFY(user.ok());
        int error = -1;
        QCOMPARE(bool(bus.open("/dev/hidraw2", &error)), opens);
        QCOMPARE(error, opens ? 0 : EACCES);
        QTEST(bench.takeLog().value(0), "openLog");
        TextHost texts;
        HidLink link(bus, texts);
        QCOMPARE(link.OpenHidDevice(), opens);
        QTEST(texts.log, "searchLog");
        // Closed to this user is told, not taken for an absent controller.
        QCOMPARE(link.failure().line(),
                 opens ? QString() : "/dev/hidraw2: cannot open: Permission denied: run `scripts/install-udev-rule.sh`");
    }

    // Both devices are listed, each node once, in the kernel's order, with
    // the IDs the enumeration gives before anything is opened; then one is
    // unplugged between the enumeration and the open.
    void enumerationAndUnplug()
    {
        FakeHidraw bench;
        QVERIFY(bench.ok() && bench.add(Controller()) && bench.add(Keyboard()));
        LinuxHidBus bus;
        std::vector<HidInterface> list;
        QVERIFY(bus.interfaces(list));
        QCOMPARE(list.size(), std::size_t(2));
        QCOMPARE(list[0].path, std::string("/dev/hidraw2"));
        QCOMPARE(list[0].vendorId, std::uint16_t(0x2f5a));
        QCOMPARE(list[0].productId, std::uint16_t(0x0107));
        QCOMPARE(list[1].path, std::string("/dev/hidraw10"));
        QCOMPARE(list[1].vendorId, std::uint16_t(0x1c4f));
        bench.remove("hidraw2");
        bench.takeLog();
        int error = 0;
        QVERIFY(!bus.open("/dev/hidraw2", &error));
        QCOMPARE(error, ENOENT);
        QCOMPARE(bench.takeLog(), QStringList{"hidraw2 open: No such file or directory"});
        QVERIFY(bus.open("/dev/hidraw10"));
        QVERIFY(bus.interfaces(list));
        QCOMPARE(list.size(), std::size_t(1));
        QCOMPARE(list[0].path, std::string("/dev/hidraw10"));
    }
};

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("MORVAX_HIDRAW_BENCH"))
        EnterBench(argv);
    QCoreApplication app(argc, argv);
    TestLinuxHid test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_linuxhid.moc"
