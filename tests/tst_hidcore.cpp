// The HID link without a window: texts, the matching rule, report lengths
// from report descriptors, and the identification and open sequences against
// a scripted bus, with the log and the shown texts at every refresh.
#include "app/ToolData.h"
#include "hid/HidLink.h"
#include "hid/HidText.h"
#include "platform/LinuxHidBus.h"
#include "platform/ReportDescriptor.h"
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

// A scripted bus: each entry is one interface in order.
class ScriptBus : public HidBus {
public:
    struct Entry {
        std::string path;
        bool openable = true;
        bool attributesOk = true;
        HidAttributes attributes;
        bool descriptorOk = true;
    };
    std::vector<Entry> entries;
    bool enumerationFails = false;
    int openDevices = 0;

    static Entry Device(const char* path, std::uint16_t vid, std::uint16_t pid, std::uint16_t version)
    {
        Entry e;
        e.path = path;
        e.attributes = {vid, pid, version};
        return e;
    }

    bool interfaces(std::vector<std::string>& paths) override
    {
        paths.clear();
        for (const Entry& e : entries)
            paths.push_back(e.path);
        return !enumerationFails;
    }
    std::unique_ptr<HidDevice> open(const std::string& path) override;
};

class ScriptDevice : public HidDevice {
public:
    ScriptDevice(ScriptBus& bus, ScriptBus::Entry e) : m_bus(bus), m_e(std::move(e)) { ++m_bus.openDevices; }
    ~ScriptDevice() override { --m_bus.openDevices; }
    bool attributes(HidAttributes& out) override
    {
        out = m_e.attributes;
        return m_e.attributesOk;
    }
    bool caps(HidCaps& out) override
    {
        return m_e.descriptorOk && ParseReportDescriptor(VENDOR.data(), VENDOR.size(), out);
    }
    bool setFeature(const std::uint8_t*, std::size_t) override { return false; }
    bool getFeature(std::uint8_t*, std::size_t) override { return false; }

private:
    ScriptBus& m_bus;
    ScriptBus::Entry m_e;
};

std::unique_ptr<HidDevice> ScriptBus::open(const std::string& path)
{
    for (const Entry& e : entries)
        if (e.path == path)
            return e.openable ? std::make_unique<ScriptDevice>(*this, e) : nullptr;
    return nullptr;  // gone since the enumeration
}

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

struct LinkFixture {
    ScriptBus bus;
    ToolData data;
    RecordingExchange exchange{data};
    HidLink link{bus, data, exchange};
    int disabled = 0;
    LinkFixture()
    {
        data.m_strLog = QStringLiteral("earlier\r\n");
        link.onDisableVersionEdit = [this] { ++disabled; };
    }
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
        QTest::newRow("mixed case") << 0x1A2B << "1A2b" << "0107" << true;
        QTest::newRow("0x prefix") << 0x1A2B << "0x1a2b" << "0107" << false;
        QTest::newRow("three digits") << 0x01A2 << "1a2" << "0107" << false;
        QTest::newRow("four digits padded") << 0x01A2 << "01a2" << "0107" << true;
        QTest::newRow("trailing blank") << 0x1A2B << "1a2b " << "0107" << false;
        QTest::newRow("leading blank") << 0x1A2B << " 1a2b" << "0107" << false;
        QTest::newRow("empty vid") << 0x1A2B << "" << "0107" << false;
        QTest::newRow("empty pid") << 0x1A2B << "1a2b" << "" << false;
        QTest::newRow("blanks") << 0x1A2B << "    " << "0107" << false;
        QTest::newRow("not hex") << 0x1A2B << "1a2g" << "0107" << false;
        QTest::newRow("40 characters") << 0x1A2B << QString(40, u'a') << "0107" << false;
        QTest::newRow("other pid") << 0x1A2B << "1a2b" << "0108" << false;
        QTest::newRow("non-ASCII letter") << 0x1A2B << QString::fromLatin1("1a2\xe2") << "0107" << false;
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
        auto keyboard = ScriptBus::Device("a-keyboard", 0x046d, 0xc31c, 0x0110);
        keyboard.openable = false;
        f.bus.entries = {keyboard, ScriptBus::Device("b-other", 0x1234, 0x0107, 1),
                         ScriptBus::Device("c-controller", 0x2F5A, 0x0107, 0x0213)};
        QVERIFY(f.link.OpenHidDevice());
        QVERIFY(f.link.m_hHid);
        QCOMPARE(f.data.m_strLog, QStringLiteral("HID Opened OK!\r\nFound HID Device!\r\n"));
        QCOMPARE(f.data.m_strVersion, QStringLiteral("0x213"));
        QCOMPARE(f.disabled, 1);
        QCOMPARE(f.link.m_wInputReportLen, 33);
        QCOMPARE(f.link.m_wOutputReportLen, 17);
        QCOMPARE(f.bus.openDevices, 1);
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
        auto c = ScriptBus::Device("c", 0x2f5a, 0x0107, 0x0100);
        c.descriptorOk = false;
        f.bus.entries = {c};
        QCOMPARE(f.link.GetHidDevicePath(0, f.link.m_hHid), HidLink::PathResult::Opened);
        QVERIFY(!f.link.IdentifyHidDevice(f.link.m_hHid));
        QVERIFY(!f.link.m_hHid);
        QCOMPARE(f.bus.openDevices, 0);
        QCOMPARE(f.data.m_strLog, QStringLiteral("Could not get HID preparsed data!\r\nFound HID Device!\r\n"));
        QCOMPARE(f.data.m_strVersion, QStringLiteral("0x100"));
        QCOMPARE(f.disabled, 1);
        QCOMPARE(f.exchange.shownLogs.last(), f.data.m_strLog);
        // The open then goes on past it and finds nothing.
        QVERIFY(!f.link.OpenHidDevice());
        QVERIFY(!f.link.m_hHid);
    }

    void searchEndsQuietlyWithoutDevices()
    {
        LinkFixture f;
        QVERIFY(!f.link.OpenHidDevice());
        QCOMPARE(f.data.m_strLog, QStringLiteral("earlier\r\n"));
        QVERIFY(f.exchange.shownLogs.isEmpty());
        QCOMPARE(f.exchange.reads, 0);
    }

    void pathFailures_data()
    {
        QTest::addColumn<bool>("enumerationFails");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("log");
        QTest::newRow("enumeration fails") << true << "x" << "No HDEVINFO available for this GUID...\r\nearlier\r\n";
        QTest::newRow("empty path") << false << "" << "Finding Device Path Error!earlier\r\n";
    }
    void pathFailures()
    {
        LinkFixture f;
        QFETCH(bool, enumerationFails);
        QFETCH(QString, path);
        f.bus.entries = {ScriptBus::Device(path.toStdString().c_str(), 0x2f5a, 0x0107, 1)};
        f.bus.enumerationFails = enumerationFails;
        QVERIFY(!f.link.OpenHidDevice());
        QTEST(f.data.m_strLog, "log");
        QCOMPARE(f.bus.openDevices, 0);
    }

    void devicesThatFailAreClosedAndPassedOver_data()
    {
        QTest::addColumn<bool>("attributesOk");
        QTest::addColumn<QString>("version");
        QTest::newRow("attributes unreadable") << false << "";
        QTest::newRow("other IDs") << true << " ";
    }
    void devicesThatFailAreClosedAndPassedOver()
    {
        LinkFixture f;
        auto d = ScriptBus::Device("d", 0x2f5a, 0x0108, 1);
        QFETCH(bool, attributesOk);
        d.attributesOk = attributesOk;
        f.bus.entries = {d};
        QVERIFY(!f.link.OpenHidDevice());
        QCOMPARE(f.bus.openDevices, 0);
        QCOMPARE(f.data.m_strLog, QStringLiteral("earlier\r\n"));
        QTEST(f.data.m_strVersion, "version");
    }

    void editsAreReadAtIdentification()
    {
        LinkFixture f;
        f.bus.entries = {ScriptBus::Device("c", 0x2f5a, 0x0107, 0x0213)};
        f.data.m_strVid = QStringLiteral("2f5a");  // stale member; the edit says otherwise
        f.exchange.vidEdit = QStringLiteral("2f5b");
        QVERIFY(!f.link.OpenHidDevice());
        f.exchange.vidEdit = QStringLiteral("2F5A");
        QVERIFY(f.link.OpenHidDevice());
    }

    void openClosesAHandleStillHeld()
    {
        LinkFixture f;
        f.bus.entries = {ScriptBus::Device("c", 0x2f5a, 0x0107, 0x0213)};
        QVERIFY(f.link.OpenHidDevice());
        QCOMPARE(f.bus.openDevices, 1);
        QVERIFY(f.link.OpenHidDevice());  // again, without closing first
        QCOMPARE(f.bus.openDevices, 1);
        f.bus.entries.clear();
        QVERIFY(!f.link.OpenHidDevice());
        QCOMPARE(f.bus.openDevices, 0);
    }

    void close()
    {
        LinkFixture f;
        f.data.m_strLog.clear();
        std::unique_ptr<HidDevice> none;
        QVERIFY(!f.link.CloseHidDevice(none));
        QCOMPARE(f.data.m_strLog,
                 QStringLiteral("CloseHandle Failed!\r\nHandle haved closed before this operation!\r\n"));
        f.bus.entries = {ScriptBus::Device("c", 0x2f5a, 0x0107, 0x0213)};
        f.data.m_strLog.clear();
        QVERIFY(f.link.OpenHidDevice());
        QVERIFY(f.link.CloseHidDevice(f.link.m_hHid));
        QVERIFY(!f.link.m_hHid);
        QCOMPARE(f.bus.openDevices, 0);
        QCOMPARE(f.data.m_strLog, QStringLiteral("CloseHandle worked!\r\nHID Opened OK!\r\nFound HID Device!\r\n"));
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
