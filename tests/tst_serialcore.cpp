// The serial link's pure logic: status-report parsing and rendering, the baud
// table and the rule that picks the controller's serial port.
#include "serial/SerialPortRule.h"
#include "operations/StatusReportParser.h"
#include "serial/BaudTable.h"
#include "serial/SerialTransport.h"
#include "simulator/ManualClock.h"
#include <QtTest>

Q_DECLARE_METATYPE(SerialPortEntry)

class TestSerialCore : public QObject {
    Q_OBJECT
private slots:
    void parsesLinesIntoReports_data()
    {
        // Each chunk is one read followed by one parse run; the reports of
        // each run, in order. The ring starts at slot `start`. The line rules
        // over any stream and any cut into reads are fuzz_statusreport's.
        QTest::addColumn<int>("start");
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QList<QStringList>>("reports");
        const QString r123456 = "$ +00001 ,+00002 ,+00003 ,+00004 ,+00005 ,+00006 ,";
        // Values render as eight-bit signed numbers.
        QTest::newRow("example, blanks, CR LF") << 0 << QList<QByteArray>{"$ 1 ,-2 ,30 ,127 ,0 ,200\r\n"}
                                                << QList<QStringList>{{"$ +00001 ,-00002 ,+00030 ,+00127 ,+00000 ,-00056 ,"}};
        QTest::newRow("missing fields keep 2..5, 6 is 0 in a new run")
            << 0 << QList<QByteArray>{"$ 1 ,2 ,3 ,4 ,5 ,6\r", "$ 9\r"}
            << QList<QStringList>{{r123456}, {"$ +00009 ,+00002 ,+00003 ,+00004 ,+00005 ,+00000 ,"}};
        QTest::newRow("ring wraps after slot 10240") << 10240 << QList<QByteArray>{"$1,2,3,4,5,6\r"}
                                                     << QList<QStringList>{{r123456}};
        // Twice the ring's worth without a CR: the line keeps its first 799
        // characters, the 799th being the "6" of "67".
        QList<QByteArray> longLine{QByteArray("$ 1 ,2 ,3 ,4 ,5 ,").leftJustified(798, ' ') + "67"};
        for (int i = 0; i < 20; ++i)
            longLine << QByteArray(1000, 'A');
        longLine << "\r";
        QList<QStringList> oneAtTheEnd(longLine.size() - 1);
        oneAtTheEnd << QStringList{r123456};
        QTest::newRow("799 cap") << 0 << longLine << oneAtTheEnd;
    }
    void parsesLinesIntoReports()
    {
        QFETCH(int, start);
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QList<QStringList>, reports);
        ManualClock clock;
        SerialTransport t(clock);
        StatusReportParser p;
        t.g_rxHead = start;
        p.g_rxTail = start;
        for (int i = 0; i < chunks.size(); ++i) {
            // Into the ring as the pump puts it.
            for (char c : chunks[i]) {
                t.g_rxRing[t.g_rxHead] = static_cast<unsigned char>(c);
                t.g_rxHead = (t.g_rxHead + 1) % SerialTransport::RING_SIZE;
            }
            QStringList got;
            p.ParseStatusReports(t, [&got](const QString& r) { got << r; });
            QCOMPARE(got, reports[i]);
            QCOMPARE(p.g_rxTail, t.g_rxHead);
            QVERIFY(p.g_lineLen <= 799);
        }
    }

    void unknownBaudEntryKeepsTheDefault_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::newRow("not in the list") << "57600";
        QTest::newRow("blank before") << " 9600";
    }
    void unknownBaudEntryKeepsTheDefault()
    {
        QFETCH(QString, entry);
        QCOMPARE(QString::fromLatin1(BaudTable::settingsFor(entry)), QStringLiteral("baud=460800 parity=N data=8 stop=2"));
    }

    void ruleFindsControllerPort_data()
    {
        QTest::addColumn<std::vector<SerialPortEntry>>("ports");
        QTest::addColumn<QString>("port");
        using V = std::vector<SerialPortEntry>;
        QTest::newRow("USBSER beats an earlier serial port")
            << V{{"\\Device\\Serial0", "COM1"}, {"\\Device\\USBSER000", "COM5"}} << "COM5";
        QTest::newRow("first of two USB ports") << V{{"\\Device\\USBSER001", "COM7"}, {"\\Device\\USBSER000", "COM5"}}
                                                << "COM7";
        QTest::newRow("Linux CDC-ACM") << V{{"serial8250", "ttyS0"}, {"cdc_acm", "/dev/pts/3"}} << "/dev/pts/3";
        QTest::newRow("other Linux drivers") << V{{"ftdi_sio", "ttyUSB0"}, {"cdc_acm_x", "ttyX0"}, {"serial8250", "ttyS0"}}
                                             << "";
        V at99(99, {"serial8250", "ttyS0"});
        at99.push_back({"cdc_acm", "ttyACM0"});
        QTest::newRow("match at index 99") << at99 << "ttyACM0";
        V at100(100, {"serial8250", "ttyS0"});
        at100.push_back({"cdc_acm", "ttyACM0"});
        QTest::newRow("match at index 100 not seen") << at100 << "";
        QTest::newRow("unreadable long name skipped")
            << V{{std::string(300, 'x') + "USBSER", "COM9"}, {"USBSER", std::string(300, '9')}, {"USBSER", "COM3"}}
            << "COM3";
    }
    void ruleFindsControllerPort()
    {
        QFETCH(std::vector<SerialPortEntry>, ports);
        QFETCH(QString, port);
        QCOMPARE(SerialPortRule::FindPort(ports), port);
    }
};

QTEST_GUILESS_MAIN(TestSerialCore)
#include "tst_serialcore.moc"
