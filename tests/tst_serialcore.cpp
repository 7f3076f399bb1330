// The serial link's pure logic: status-report parsing and rendering, the baud
// table and the rule that picks the controller's serial port.
#include "app/SerialPortRule.h"
#include "operations/StatusReportParser.h"
#include "serial/BaudTable.h"
#include "serial/SerialTransport.h"
#include "simulator/ManualClock.h"
#include <QtTest>
#include <cstring>

Q_DECLARE_METATYPE(SerialPortEntry)

namespace {
// Puts bytes into the ring as the pump does.
void Feed(SerialTransport& t, const QByteArray& bytes)
{
    for (char c : bytes) {
        t.g_rxRing[t.g_rxHead] = static_cast<unsigned char>(c);
        t.g_rxHead = (t.g_rxHead + 1) % SerialTransport::RING_SIZE;
    }
}

QStringList Parse(SerialTransport& t, StatusReportParser& p)
{
    QStringList reports;
    p.ParseStatusReports(t, [&reports](const QString& r) { reports << r; });
    return reports;
}
} // namespace

class TestSerialCore : public QObject {
    Q_OBJECT
private slots:
    void rendersValuesAsEightBitSigned_data()
    {
        QTest::addColumn<QList<int>>("values");
        QTest::addColumn<QString>("text");
        QTest::newRow("example") << QList<int>{1, -2, 30, 127, 0, 200}
                                 << "$ +00001 ,-00002 ,+00030 ,+00127 ,+00000 ,-00056 ,";
        QTest::newRow("edges") << QList<int>{-128, 128, 255, 256, 99, 100}
                               << "$ -00128 ,-00128 ,-00001 ,+00000 ,+00099 ,+00100 ,";
        QTest::newRow("digits") << QList<int>{9, 10, -9, -10, -99, -100}
                                << "$ +00009 ,+00010 ,-00009 ,-00010 ,-00099 ,-00100 ,";
    }
    void rendersValuesAsEightBitSigned()
    {
        QFETCH(QList<int>, values);
        QFETCH(QString, text);
        QCOMPARE(StatusReportParser::RenderStatusReport(values.constData()), text);
    }

    void parsesLinesIntoReports_data()
    {
        // Each chunk is one read followed by one parse run; the reports of
        // each run, in order.
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QList<QStringList>>("reports");
        const QString r123456 = "$ +00001 ,+00002 ,+00003 ,+00004 ,+00005 ,+00006 ,";
        QTest::newRow("blanks, CR LF") << QList<QByteArray>{"$ 1 ,2 ,3 ,4 ,5 ,6\r\n"}
                                       << QList<QStringList>{{r123456}};
        QTest::newRow("no blanks") << QList<QByteArray>{"$1,2,3,4,5,6\r"} << QList<QStringList>{{r123456}};
        QTest::newRow("noise before $") << QList<QByteArray>{"ok$ 1 ,2 ,3 ,4 ,5 ,6\r"}
                                        << QList<QStringList>{{r123456}};
        QTest::newRow("X and Y lines dropped") << QList<QByteArray>{"X 1 ,2 ,3\rY 4\r$ 1 ,2 ,3 ,4 ,5 ,6\r"}
                                               << QList<QStringList>{{r123456}};
        QTest::newRow("line of other start dropped")
            << QList<QByteArray>{"hello 1 ,2\r\r\n"} << QList<QStringList>{{}};
        QTest::newRow("split across reads, logged once")
            << QList<QByteArray>{"$ 1 ,2 ,3", " ,4 ,5 ,6\r", ""} << QList<QStringList>{{}, {r123456}, {}};
        QTest::newRow("two in one read, in order")
            << QList<QByteArray>{"$ 1 ,2 ,3 ,4 ,5 ,6\r\n$ -1 ,0 ,0 ,0 ,0 ,200\r\n"}
            << QList<QStringList>{{r123456, "$ -00001 ,+00000 ,+00000 ,+00000 ,+00000 ,-00056 ,"}};
        QTest::newRow("LF alone joins two reports")
            << QList<QByteArray>{"$ 1 ,2 ,3 ,4 ,5 ,6\n$ 7 ,8 ,9 ,10 ,11 ,12\r"} << QList<QStringList>{{r123456}};
        QTest::newRow("NUL ignored") << QList<QByteArray>{QByteArray("$ 1 ,2 ,\0003 ,4 ,5 ,6\r", 20)}
                                     << QList<QStringList>{{r123456}};
        QTest::newRow("missing fields keep 2..5, 6 is 0 in a new run")
            << QList<QByteArray>{"$ 1 ,2 ,3 ,4 ,5 ,6\r", "$ 9\r"}
            << QList<QStringList>{{r123456}, {"$ +00009 ,+00002 ,+00003 ,+00004 ,+00005 ,+00000 ,"}};
        QTest::newRow("field 6 kept within a run")
            << QList<QByteArray>{"$ 1 ,2 ,3 ,4 ,5 ,6\r$ 9\r"}
            << QList<QStringList>{{r123456, "$ +00009 ,+00002 ,+00003 ,+00004 ,+00005 ,+00006 ,"}};
        QTest::newRow("no fields at all") << QList<QByteArray>{"$ junk\r"}
                                          << QList<QStringList>{{"$ +00000 ,+00000 ,+00000 ,+00000 ,+00000 ,+00000 ,"}};
    }
    void parsesLinesIntoReports()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QList<QStringList>, reports);
        ManualClock clock;
        SerialTransport t(clock);
        StatusReportParser p;
        for (int i = 0; i < chunks.size(); ++i) {
            Feed(t, chunks[i]);
            QCOMPARE(Parse(t, p), reports[i]);
            QCOMPARE(p.g_rxTail, t.g_rxHead);
        }
    }

    void longLineKeepsItsFirst799Characters()
    {
        ManualClock clock;
        SerialTransport t(clock);
        StatusReportParser p;
        // Twice the ring's worth without a CR, in many runs: the line stays
        // within its buffer.
        const QByteArray head = "$ 1 ,2 ,3 ,4 ,5 ,6";
        Feed(t, head);
        for (int i = 0; i < 20; ++i) {
            Feed(t, QByteArray(1000, 'A'));
            QVERIFY(Parse(t, p).isEmpty());
            QCOMPARE(p.g_lineLen, 799);
        }
        Feed(t, "\r");
        QCOMPARE(Parse(t, p).size(), 1);
        QCOMPARE(std::strlen(p.g_lineBuf), size_t(799));
        QCOMPARE(QByteArray(p.g_lineBuf, head.size()), head);
        QCOMPARE(p.g_lineLen, 0);
    }

    void ringWrapsAfterSlot10240()
    {
        ManualClock clock;
        SerialTransport t(clock);
        StatusReportParser p;
        t.g_rxHead = 10240;
        p.g_rxTail = 10240;
        Feed(t, "$1,2,3,4,5,6\r");
        QCOMPARE(t.g_rxRing[10240], '$');
        QCOMPARE(t.g_rxRing[0], '1');
        QCOMPARE(t.g_rxHead, 12);
        QCOMPARE(Parse(t, p), QStringList{"$ +00001 ,+00002 ,+00003 ,+00004 ,+00005 ,+00006 ,"});
        QCOMPARE(p.g_rxTail, 12);
    }

    void baudEntryChoosesSettings_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("rate");
        for (int i = 0; i < BaudTable::COUNT; ++i) {
            const QString e = QString::fromLatin1(BaudTable::entry(i));
            QTest::newRow(BaudTable::entry(i)) << e << QStringLiteral("baud=%1 parity=N data=8 stop=2").arg(e)
                                               << e.toInt();
        }
        QTest::newRow("unknown") << "57600" << "baud=460800 parity=N data=8 stop=2" << 460800;
        QTest::newRow("empty") << "" << "baud=460800 parity=N data=8 stop=2" << 460800;
        QTest::newRow("blank before") << " 9600" << "baud=460800 parity=N data=8 stop=2" << 460800;
    }
    void baudEntryChoosesSettings()
    {
        QFETCH(QString, entry);
        QFETCH(QString, settings);
        QFETCH(int, rate);
        const char* s = BaudTable::settingsFor(entry);
        QCOMPARE(QString::fromLatin1(s), settings);
        QCOMPARE(BaudTable::rateOf(s), rate);
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
        QTest::newRow("lower case does not match") << V{{"\\Device\\usbser000", "COM5"}} << "";
        QTest::newRow("Linux CDC-ACM") << V{{"serial8250", "ttyS0"}, {"cdc_acm", "/dev/pts/3"}} << "/dev/pts/3";
        QTest::newRow("other Linux drivers") << V{{"ftdi_sio", "ttyUSB0"}, {"cdc_acm_x", "ttyX0"}, {"serial8250", "ttyS0"}}
                                             << "";
        QTest::newRow("nothing") << V{} << "";
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
