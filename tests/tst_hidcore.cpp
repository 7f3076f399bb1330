// The HID link without a window: the matching rule, report lengths
// from report descriptors, and the identification and open sequences on the
// simulated bus, with the log and the shown texts at every refresh.
#include "TestSupport.h"
#include "hid/HidLink.h"
#include "hid/HidText.h"
#include "platform/linux/LinuxHidBus.h"
#include "platform/ReportDescriptor.h"
#include "simulator/SimController.h"
#include "simulator/SimHidBus.h"
#include <QtTest>

using Bytes = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(Bytes)

// The link on the simulated bus (controller in HID mode, the IDs naming it)
// with a host that holds an earlier log.
struct LinkFixture {
    explicit LinkFixture(bool present) : controller(clock, KnobsIn(SimKnobs::Mode::Hid, present)), bus(controller)
    {
        host.log = QStringLiteral("earlier\r\n");
    }
    ManualClock clock;
    SimController controller;
    SimHidBus bus;
    TextHost host;
    HidLink link{bus, host};
};

class TestHidCore : public QObject {
    Q_OBJECT
private slots:
    void matching_data()
    {
        // Against a device with VID 0x0a2b and PID 0x010c.
        QTest::addColumn<QString>("vid");
        QTest::addColumn<QString>("pid");
        QTest::addColumn<bool>("match");
        QTest::newRow("mixed case") << "0A2b" << "010C" << true;
        QTest::newRow("0x prefix") << "0x0a2b" << "010c" << false;
        QTest::newRow("three digits") << "a2b" << "010c" << false;
        QTest::newRow("trailing blank") << "0a2b " << "010c" << false;
        QTest::newRow("empty") << "" << "010c" << false;
        QTest::newRow("other PID") << "0a2b" << "010d" << false;
    }
    void matching()
    {
        QFETCH(QString, vid);
        QFETCH(QString, pid);
        QTEST(HidText::IdsMatch(0x0a2b, 0x010c, vid, pid), "match");
    }

    void reportLengths_data()
    {
        QTest::addColumn<Bytes>("descriptor");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("input");
        QTest::addColumn<int>("output");
        QTest::addColumn<int>("feature");
        QTest::newRow("boot keyboard, no report IDs") << SimHidBus::keyboardDescriptor() << true << 9 << 2 << 0;
        QTest::newRow("the controller, report IDs") << SimHidBus::controllerDescriptor() << true << 64 << 64 << 2;
        // Report 1: 8 x 1 pushed, 32 x 1 output, popped back for 8 x 1 input;
        // report 2: 11 bits of input, rounded up, the longer; a long item skipped.
        QTest::newRow("two reports, push, pop, long item")
            << Bytes{0xA1, 0x01, 0x85, 0x01, 0x75, 0x08, 0x95, 0x01, 0xA4, 0x75, 0x20, 0x91, 0x02, 0xB4, 0x81,
                     0x02, 0x85, 0x02, 0x75, 0x01, 0x95, 0x0B, 0x81, 0x02, 0xFE, 0x02, 0x10, 0xAA, 0xBB, 0xC0}
            << true << 3 << 5 << 0;
        QTest::newRow("no collection") << Bytes{0x75, 0x08, 0x95, 0x01, 0x81, 0x02} << false << 7 << 7 << 7;
        QTest::newRow("item cut short") << Bytes{0xA1, 0x01, 0x26, 0xFF} << false << 7 << 7 << 7;
        QTest::newRow("long item cut short") << Bytes{0xA1, 0x01, 0xC0, 0xFE, 0x05, 0x10, 0x00} << false << 7 << 7 << 7;
        QTest::newRow("report ID 0") << Bytes{0xA1, 0x01, 0x85, 0x00, 0xC0} << false << 7 << 7 << 7;
        QTest::newRow("pop without push") << Bytes{0xA1, 0x01, 0xB4, 0xC0} << false << 7 << 7 << 7;
        QTest::newRow("collection not closed") << Bytes{0xA1, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02} << false << 7 << 7 << 7;
        QTest::newRow("end without collection") << Bytes{0xC0, 0xA1, 0x01, 0xC0} << false << 7 << 7 << 7;
        QTest::newRow("report too long for 16 bits")
            << Bytes{0xA1, 0x01, 0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02, 0xC0}
            << false << 7 << 7 << 7;
    }
    void reportLengths()
    {
        QFETCH(Bytes, descriptor);
        HidCaps caps{7, 7, 7};  // a rejected descriptor leaves them so
        QTEST(ParseReportDescriptor(descriptor.data(), descriptor.size(), caps), "ok");
        QTEST(int(caps.inputReportLength), "input");
        QTEST(int(caps.outputReportLength), "output");
        QTEST(int(caps.featureReportLength), "feature");
    }

    void openSequences_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("enumerationFails");
        QTest::addColumn<bool>("descriptorOk");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("shownLog");      // at the last refresh
        QTest::addColumn<QString>("shownVersion");  // at the last refresh
        QTest::addColumn<bool>("versionEditEnabled");
        // A keyboard that cannot be opened, then a device with another PID,
        // are passed over before the controller (if it is there); the found
        // message replaces the earlier log, and the open's own message is not
        // shown yet.
        const QString found = QStringLiteral("Found HID Device!\r\n");
        QTest::newRow("match") << true << false << true << true << "HID Opened OK!\r\n" + found << found << "0x213"
                               << false;
        // A match whose report lengths cannot be read is no open, though the
        // version was shown and its edit disabled.
        QTest::newRow("preparsed failure after match")
            << true << false << false << false << "Could not get HID preparsed data!\r\n" + found
            << "Could not get HID preparsed data!\r\n" + found << "0x213" << false;
        // Every device passed that is not the controller shows the version
        // as one blank.
        QTest::newRow("only other devices") << false << false << true << false << "earlier\r\n" << "earlier\r\n"
                                            << " " << true;
        QTest::newRow("enumeration fails") << true << true << true << false
                                           << "No HDEVINFO available for this GUID...\r\nearlier\r\n" << QString()
                                           << QString() << true;
    }
    void openSequences()
    {
        QFETCH(bool, present);
        QFETCH(bool, enumerationFails);
        QFETCH(bool, descriptorOk);
        QFETCH(bool, opened);
        LinkFixture f(present);
        f.host.version = QStringLiteral("0x99");  // shown before
        f.bus.others() = {{.attributes = {0x046d, 0xc31c, 0x0110}, .openable = false, .descriptor = {}},
                          {.attributes = {0x2f5a, 0x0108, 0x0001}, .descriptor = {}}};
        f.bus.setEnumerationFails(enumerationFails);
        f.bus.setControllerDescriptorOk(descriptorOk);
        QCOMPARE(f.link.OpenHidDevice(), opened);
        QTEST(f.host.log, "log");
        QTEST(f.host.shownLog, "shownLog");
        QTEST(f.host.shownVersion, "shownVersion");
        QTEST(f.host.versionEditEnabled, "versionEditEnabled");
        QCOMPARE(bool(f.link.m_hHid), opened);
        QCOMPARE(f.bus.openControllerHandles(), int(opened));
        // Searching again while a handle is held closes it first.
        QCOMPARE(f.link.OpenHidDevice(), opened);
        QCOMPARE(f.bus.openControllerHandles(), int(opened));
    }

    void kernelOrderOfNodes_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("less");
        QTest::newRow("2 before 10") << "/dev/hidraw2" << "/dev/hidraw10" << true;
        QTest::newRow("10 after 9") << "/dev/hidraw10" << "/dev/hidraw9" << false;
        QTest::newRow("same") << "/dev/hidraw3" << "/dev/hidraw3" << false;
        QTest::newRow("other stem by text") << "/dev/hidrawx10" << "/dev/hidraw2" << false;
        QTest::newRow("no number by text") << "/dev/hidraw" << "/dev/hidraw0" << true;
    }
    void kernelOrderOfNodes()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QTEST(LinuxHidBus::PathLess(a.toStdString(), b.toStdString()), "less");
    }
};

QTEST_GUILESS_MAIN(TestHidCore)
#include "tst_hidcore.moc"
