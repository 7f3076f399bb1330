// The HID link without a window: texts, the matching rule, report lengths
// from report descriptors, and the identification and open sequences against
// a scripted bus, with the log and the shown texts at every refresh.
#include "app/ToolData.h"
#include "hid/HidLink.h"
#include "hid/HidText.h"
#include "platform/LinuxHidBus.h"
#include "platform/ReportDescriptor.h"
#include "simulator/ManualClock.h"
#include "simulator/SimController.h"
#include "simulator/SimHidBus.h"
#include <QDir>
#include <QtTest>

using Bytes = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(Bytes)

namespace {
// A vendor-defined device: input report 1 (32 bytes), feature report 2
// (7 bytes), output report 3 (16 bytes).
const Bytes VENDOR = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,  // Usage Page (0xFF00), Usage (1), Collection (Application)
    0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,  // Logical 0..255, Report Size (8)
    0x85, 0x01, 0x95, 0x20, 0x09, 0x01, 0x81, 0x02,  // Report ID 1, Count 32, Input
    0x85, 0x02, 0x95, 0x07, 0x09, 0x02, 0xB1, 0x02,  // Report ID 2, Count 7, Feature
    0x85, 0x03, 0x95, 0x10, 0x09, 0x03, 0x91, 0x02,  // Report ID 3, Count 16, Output
    0xC0,
};

// A mouse (report 1: 3 buttons, 5 bits padding, X, Y, wheel) and a consumer
// control (report 2: one 16-bit usage) in one descriptor.
const Bytes MOUSE_COMPOSITE = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01,  // Generic Desktop, Mouse, Collection (Application)
    0x85, 0x01, 0x09, 0x01, 0xA1, 0x00,  //   Report ID 1, Pointer, Collection (Physical)
    0x05, 0x09, 0x19, 0x01, 0x29, 0x03,  //     Buttons 1..3
    0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,  // 3 x 1 bit, Input
    0x95, 0x01, 0x75, 0x05, 0x81, 0x01,  //     1 x 5 bits, Input (Constant)
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x09, 0x38,  // X, Y, Wheel
    0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x03, 0x81, 0x06,  // 3 x 8 bits, Input (Relative)
    0xC0, 0xC0,
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01,  // Consumer, Consumer Control, Collection (Application)
    0x85, 0x02, 0x19, 0x00, 0x2A, 0x3C, 0x02,  // Report ID 2, Usages 0..0x23C
    0x15, 0x00, 0x26, 0x3C, 0x02, 0x95, 0x01, 0x75, 0x10, 0x81, 0x00,  // 1 x 16 bits, Input (Array)
    0xC0,
};

// Push and Pop around a wider item, and a long item that is skipped.
const Bytes PUSH_POP = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,
    0x75, 0x08, 0x95, 0x04,        // Report Size 8, Count 4
    0xA4,                          // Push
    0x75, 0x10, 0x95, 0x08,        // Report Size 16, Count 8
    0x91, 0x02,                    // Output: 16 bytes
    0xB4,                          // Pop: back to 8 x 4
    0x81, 0x02,                    // Input: 4 bytes
    0xFE, 0x02, 0x10, 0xAA, 0xBB,  // a long item with 2 data bytes
    0xC0,
};

Bytes BootKeyboard() { return SimHidBus::keyboardDescriptor(); }
} // namespace

// The window's side of the data exchange: the edits' texts, and what each
// refresh showed.
class RecordingExchange : public DataExchange {
public:
    explicit RecordingExchange(ToolData& data) : m_data(data) {}
    bool UpdateData(bool save) override
    {
        if (save) {
            ++reads;
            m_data.m_strVid = vidEdit;
            m_data.m_strPid = pidEdit;
        } else {
            shownLogs << m_data.m_strLog;
            shownVersions << m_data.m_strVersion;
        }
        return true;
    }
    QString vidEdit = QStringLiteral("2f5a");
    QString pidEdit = QStringLiteral("0107");
    int reads = 0;
    QStringList shownLogs, shownVersions;

private:
    ToolData& m_data;
};

// The link on the simulated bus: other devices can be put before the
// controller, which starts in HID mode (present unless told otherwise).
struct LinkFixture {
    explicit LinkFixture(bool present = true) : controller(clock, Knobs(present)), bus(controller)
    {
        data.m_strLog = QStringLiteral("earlier\r\n");
        link.onDisableVersionEdit = [this] { ++disabled; };
    }
    static SimKnobs Knobs(bool present)
    {
        SimKnobs k;
        k.startMode = SimKnobs::Mode::Hid;
        k.startPresent = present;
        return k;
    }
    ManualClock clock;
    SimController controller;
    SimHidBus bus;
    ToolData data;
    RecordingExchange exchange{data};
    HidLink link{bus, data, exchange};
    int disabled = 0;
};

class TestHidCore : public QObject {
    Q_OBJECT
private slots:
    void idText_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::newRow("0x000F") << 0x000F << "000f";
        QTest::newRow("0x00FF") << 0x00FF << "00ff";
        QTest::newRow("0x0FFF") << 0x0FFF << "0fff";
        QTest::newRow("0xFFFF") << 0xFFFF << "ffff";
        QTest::newRow("0x1A2") << 0x1A2 << "01a2";
        QTest::newRow("0") << 0 << "0000";
    }
    void idText()
    {
        QFETCH(int, id);
        QTEST(HidText::IdText(static_cast<std::uint16_t>(id)), "text");
    }

    void versionText_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("text");
        QTest::newRow("0x100") << 0x0100 << "0x100";
        QTest::newRow("0x21") << 0x0021 << "0x21";
        QTest::newRow("0") << 0 << "0x0";
        QTest::newRow("0xABCD") << 0xABCD << "0xabcd";
    }
    void versionText()
    {
        QFETCH(int, version);
        QTEST(HidText::VersionText(static_cast<std::uint16_t>(version)), "text");
    }

    void matching_data()
    {
        QTest::addColumn<int>("vid");
        QTest::addColumn<QString>("vidText");
        QTest::addColumn<QString>("pidText");
        QTest::addColumn<bool>("match");
        QTest::newRow("upper case") << 0x1A2B << "1A2B" << "0107" << true;
        QTest::newRow("lower case") << 0x1A2B << "1a2b" << "0107" << true;
        QTest::newRow("0x prefix") << 0x1A2B << "0x1a2b" << "0107" << false;
        QTest::newRow("three digits") << 0x01A2 << "1a2" << "0107" << false;
        QTest::newRow("four digits padded") << 0x01A2 << "01a2" << "0107" << true;
        QTest::newRow("trailing blank") << 0x1A2B << "1a2b " << "0107" << false;
        QTest::newRow("empty vid") << 0x1A2B << "" << "0107" << false;
        QTest::newRow("empty pid") << 0x1A2B << "1a2b" << "" << false;
        QTest::newRow("not hex") << 0x1A2B << "1a2g" << "0107" << false;
        QTest::newRow("40 characters") << 0x1A2B << QString(40, u'a') << "0107" << false;
        QTest::newRow("other pid") << 0x1A2B << "1a2b" << "0108" << false;
    }
    void matching()
    {
        QFETCH(int, vid);
        QFETCH(QString, vidText);
        QFETCH(QString, pidText);
        QTEST(HidText::IdsMatch(static_cast<std::uint16_t>(vid), 0x0107, vidText, pidText), "match");
    }

    void reportLengths_data()
    {
        QTest::addColumn<Bytes>("descriptor");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("input");
        QTest::addColumn<int>("output");
        QTest::addColumn<int>("feature");
        QTest::newRow("boot keyboard, no report IDs") << BootKeyboard() << true << 9 << 2 << 0;
        QTest::newRow("mouse and consumer control, report IDs") << MOUSE_COMPOSITE << true << 5 << 0 << 0;
        QTest::newRow("vendor-defined, feature report 2") << VENDOR << true << 33 << 17 << 8;
        QTest::newRow("push, pop and a long item") << PUSH_POP << true << 5 << 17 << 0;
        QTest::newRow("the simulated controller") << SimHidBus::controllerDescriptor() << true << 64 << 64 << 2;
        QTest::newRow("empty") << Bytes{} << false << 0 << 0 << 0;
        QTest::newRow("no collection") << Bytes{0x75, 0x08, 0x95, 0x01, 0x81, 0x02} << false << 0 << 0 << 0;
        QTest::newRow("item cut short") << Bytes{0xA1, 0x01, 0x26, 0xFF} << false << 0 << 0 << 0;
        QTest::newRow("long item cut short") << Bytes{0xA1, 0x01, 0xC0, 0xFE, 0x05, 0x10, 0x00} << false << 0 << 0 << 0;
        QTest::newRow("report ID 0") << Bytes{0xA1, 0x01, 0x85, 0x00, 0xC0} << false << 0 << 0 << 0;
        QTest::newRow("pop without push") << Bytes{0xA1, 0x01, 0xB4, 0xC0} << false << 0 << 0 << 0;
        QTest::newRow("collection not closed") << Bytes{0xA1, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02} << false << 0 << 0 << 0;
        QTest::newRow("end without collection") << Bytes{0xC0, 0xA1, 0x01, 0xC0} << false << 0 << 0 << 0;
        QTest::newRow("report too long for 16 bits")
            << Bytes{0xA1, 0x01, 0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02, 0xC0}
            << false << 0 << 0 << 0;
    }
    void reportLengths()
    {
        QFETCH(Bytes, descriptor);
        HidCaps caps{7, 7, 7};
        QTEST(ParseReportDescriptor(descriptor.data(), descriptor.size(), caps), "ok");
        QFETCH(bool, ok);
        if (!ok) {
            QCOMPARE(caps.inputReportLength, 7);  // untouched
            return;
        }
        QTEST(int(caps.inputReportLength), "input");
        QTEST(int(caps.outputReportLength), "output");
        QTEST(int(caps.featureReportLength), "feature");
    }

    void openFindsTheControllerAfterDevicesItPassesOver()
    {
        LinkFixture f;
        SimHidBus::OtherDevice keyboard, other;
        keyboard.attributes = {0x046d, 0xc31c, 0x0110};
        keyboard.openable = false;
        other.attributes = {0x2f5a, 0x0108, 0x0001};
        f.bus.others() = {keyboard, other};
        QVERIFY(f.link.OpenHidDevice());
        QVERIFY(f.link.m_hHid);
        QCOMPARE(f.data.m_strLog, QStringLiteral("HID Opened OK!\r\nFound HID Device!\r\n"));
        QCOMPARE(f.data.m_strVersion, QStringLiteral("0x213"));
        QCOMPARE(f.disabled, 1);
        QCOMPARE(f.link.m_wInputReportLen, 64);
        QCOMPARE(f.link.m_wOutputReportLen, 64);
        QCOMPARE(f.bus.openControllerHandles(), 1);
        // Refreshes: the keyboard's open; the other device's open and its two
        // identification steps (" " shown); the controller's open and its two.
        const QString earlier = QStringLiteral("earlier\r\n"), found = QStringLiteral("Found HID Device!\r\n");
        QCOMPARE(f.exchange.shownLogs, (QStringList{earlier, earlier, earlier, earlier, earlier, found, found}));
        QCOMPARE(f.exchange.shownVersions, (QStringList{"", "", " ", " ", " ", "0x213", "0x213"}));
        QCOMPARE(f.exchange.reads, 2);
    }

    void preparsedFailureAfterMatchIsNotIdentified()
    {
        LinkFixture f;
        f.bus.setControllerDescriptorOk(false);
        QCOMPARE(f.link.GetHidDevicePath(0, f.link.m_hHid), HidLink::PathResult::Opened);
        QVERIFY(!f.link.IdentifyHidDevice(f.link.m_hHid));
        QVERIFY(!f.link.m_hHid);
        QCOMPARE(f.bus.openControllerHandles(), 0);
        QCOMPARE(f.data.m_strLog, QStringLiteral("Could not get HID preparsed data!\r\nFound HID Device!\r\n"));
        QCOMPARE(f.data.m_strVersion, QStringLiteral("0x213"));
        QCOMPARE(f.disabled, 1);
        QCOMPARE(f.exchange.shownLogs.last(), f.data.m_strLog);
    }

    void searchFindsNothing_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("enumerationFails");
        QTest::addColumn<QString>("log");
        QTest::addColumn<int>("refreshes");
        QTest::newRow("no device at all") << false << false << "earlier\r\n" << 0;
        QTest::newRow("enumeration fails") << true << true << "No HDEVINFO available for this GUID...\r\nearlier\r\n" << 0;
        QTest::newRow("other IDs") << true << false << "earlier\r\n" << 3;
    }
    void searchFindsNothing()
    {
        QFETCH(bool, present);
        QFETCH(bool, enumerationFails);
        LinkFixture f(present);
        f.bus.setEnumerationFails(enumerationFails);
        f.exchange.pidEdit = QStringLiteral("0108");
        QVERIFY(!f.link.OpenHidDevice());
        QVERIFY(!f.link.m_hHid);
        QTEST(f.data.m_strLog, "log");
        QTEST(int(f.exchange.shownLogs.size()), "refreshes");
        QCOMPARE(f.bus.openControllerHandles(), 0);
    }

    void deviceGoneAfterItsOpenIsPassedOverQuietly()
    {
        LinkFixture f;
        QCOMPARE(f.link.GetHidDevicePath(0, f.link.m_hHid), HidLink::PathResult::Opened);
        f.controller.unplug();
        QVERIFY(!f.link.IdentifyHidDevice(f.link.m_hHid));
        QCOMPARE(f.bus.openControllerHandles(), 0);
        QCOMPARE(f.data.m_strLog, QStringLiteral("earlier\r\n"));
        QCOMPARE(f.exchange.reads, 0);
    }

    void editsAreReadAtIdentification()
    {
        LinkFixture f;
        f.data.m_strVid = QStringLiteral("2f5a");  // stale member; the edit says otherwise
        f.exchange.vidEdit = QStringLiteral("2f5b");
        QVERIFY(!f.link.OpenHidDevice());
        f.exchange.vidEdit = QStringLiteral("2F5A");
        QVERIFY(f.link.OpenHidDevice());
    }

    void openAndClose()
    {
        LinkFixture f;
        f.data.m_strLog.clear();
        QVERIFY(!f.link.CloseHidDevice(f.link.m_hHid));
        QCOMPARE(f.data.m_strLog,
                 QStringLiteral("CloseHandle Failed!\r\nHandle haved closed before this operation!\r\n"));
        QVERIFY(f.link.OpenHidDevice());
        QVERIFY(f.link.OpenHidDevice());  // again without a close: the held handle is closed first
        QCOMPARE(f.bus.openControllerHandles(), 1);
        f.data.m_strLog.clear();
        QVERIFY(f.link.CloseHidDevice(f.link.m_hHid));
        QVERIFY(!f.link.m_hHid);
        QCOMPARE(f.bus.openControllerHandles(), 0);
        QCOMPARE(f.data.m_strLog, QStringLiteral("CloseHandle worked!\r\n"));
        QVERIFY(f.exchange.shownLogs.last() != f.data.m_strLog);  // no refresh of its own
    }

    void linuxBusOnThisMachine()
    {
        LinuxHidBus bus;
        std::vector<std::string> paths{"stale"};
        QVERIFY(bus.interfaces(paths));
        if (QDir(QStringLiteral("/dev")).entryList({QStringLiteral("hidraw*")}, QDir::System).isEmpty())
            QVERIFY(paths.empty());
        QVERIFY(!bus.open("/dev/hidraw-not-there"));

        ToolData data;
        data.m_strLog = QStringLiteral("earlier\r\n");
        RecordingExchange exchange(data);
        exchange.vidEdit = QStringLiteral("2f5a");
        HidLink link(bus, data, exchange);
        if (paths.empty()) {
            QVERIFY(!link.OpenHidDevice());
            QCOMPARE(data.m_strLog, QStringLiteral("earlier\r\n"));
        }
    }
};

QTEST_GUILESS_MAIN(TestHidCore)
#include "tst_hidcore.moc"
