// The serial link's pure logic: status-report parsing and rendering, the baud
// table and the line settings, and the rule that picks the controller's
// serial port.
#include "serial/SerialPortRule.h"
#include "operations/StatusReportParser.h"
#include "serial/BaudTable.h"
#include "serial/LineSettings.h"
#include "serial/ReceiveRing.h"
#include <QtTest>

Q_DECLARE_METATYPE(SerialPortEntry)

class TestSerialCore : public QObject {
    Q_OBJECT
private slots:
    void parsesLinesIntoReports_data()
    {
        // Each chunk is one read followed by one parse run; the reports of
        // each run, in order, as text and as the values each line carried
        // (blank-separated). The ring starts at slot `start`. The line rules
        // over any stream and any cut into reads are fuzz_statusreport's.
        QTest::addColumn<int>("start");
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QList<QStringList>>("reports");
        QTest::addColumn<QList<QStringList>>("carried");
        const QString r123456 = "$ +00001 ,+00002 ,+00003 ,+00004 ,+00005 ,+00006 ,";
        // Values render as eight-bit signed numbers, and are given so.
        QTest::newRow("example, blanks, CR LF") << 0 << QList<QByteArray>{"$ 1 ,-2 ,30 ,127 ,0 ,200\r\n"}
                                                << QList<QStringList>{{"$ +00001 ,-00002 ,+00030 ,+00127 ,+00000 ,-00056 ,"}}
                                                << QList<QStringList>{{"1 -2 30 127 0 -56"}};
        // A short line shows the values kept from earlier lines, and carries
        // only its own.
        QTest::newRow("missing fields keep 2..5, 6 is 0 in a new run")
            << 0 << QList<QByteArray>{"$ 1 ,2 ,3 ,4 ,5 ,6\r", "$ 9 ,8\r"}
            << QList<QStringList>{{r123456}, {"$ +00009 ,+00008 ,+00003 ,+00004 ,+00005 ,+00000 ,"}}
            << QList<QStringList>{{"1 2 3 4 5 6"}, {"9 8"}};
        QTest::newRow("a bad field ends what a line carries")
            << 0 << QList<QByteArray>{"$ 1 ,2 ,3 ,4 ,5 ,6\r$ 7 ,x ,9\r$\r"}
            << QList<QStringList>{{r123456, "$ +00007 ,+00002 ,+00003 ,+00004 ,+00005 ,+00006 ,",
                                   "$ +00007 ,+00002 ,+00003 ,+00004 ,+00005 ,+00006 ,"}}
            << QList<QStringList>{{"1 2 3 4 5 6", "7", ""}};
        QTest::newRow("ring wraps after slot 10240") << 10240 << QList<QByteArray>{"$1,2,3,4,5,6\r"}
                                                     << QList<QStringList>{{r123456}} << QList<QStringList>{{"1 2 3 4 5 6"}};
        // Twice the ring's worth without a CR: the line keeps its first 799
        // characters, the 799th being the "6" of "67".
        QList<QByteArray> longLine{QByteArray("$ 1 ,2 ,3 ,4 ,5 ,").leftJustified(798, ' ') + "67"};
        for (int i = 0; i < 20; ++i)
            longLine << QByteArray(1000, 'A');
        longLine << "\r";
        QList<QStringList> oneAtTheEnd(longLine.size() - 1), carriedAtTheEnd(longLine.size() - 1);
        oneAtTheEnd << QStringList{r123456};
        carriedAtTheEnd << QStringList{"1 2 3 4 5 6"};
        QTest::newRow("799 cap") << 0 << longLine << oneAtTheEnd << carriedAtTheEnd;
    }
    void parsesLinesIntoReports()
    {
        QFETCH(int, start);
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QList<QStringList>, reports);
        QFETCH(QList<QStringList>, carried);
        // The same bytes to two parsers: one gives the window's text, the
        // other the reports as values.
        ReceiveRing ring, ring2;
        StatusReportParser p, p2;
        // The rings have already carried `start` bytes that report nothing.
        ring.append(QByteArray(start, '\0').constData(), start);
        ring2.append(QByteArray(start, '\0').constData(), start);
        p.ParseStatusReports(ring, {});
        p2.ParseStatusReports(ring2, 0, {});
        QCOMPARE(p.g_rxTail, start);
        for (int i = 0; i < chunks.size(); ++i) {
            ring.append(chunks[i].constData(), int(chunks[i].size()));  // as the pump puts it
            ring2.append(chunks[i].constData(), int(chunks[i].size()));
            QStringList got, texts, values;
            p.ParseStatusReports(ring, [&got](const QString& r) { got << r; });
            const std::int64_t receivedMs = 1000 + i;
            p2.ParseStatusReports(ring2, receivedMs, [&](const StatusReport& r) {
                texts << r.text;
                QStringList v;
                for (const int value : r.values)
                    v << QString::number(value);
                values << v.join(u' ');
                QCOMPARE(r.complete, r.values.size() == 6);
                QCOMPARE(r.receivedMs, receivedMs);  // the run that brought the CR
            });
            QCOMPARE(got, reports[i]);
            QCOMPARE(texts, reports[i]);
            QCOMPARE(values, carried[i]);
            QCOMPARE(p.g_rxTail, ring.head());
            QVERIFY(p.g_lineLen <= 799);
        }
    }

    void lineSettingsNameARowOfTheBaudTable_data()
    {
        // What choose() is given (null: nullptr) and the rate that follows.
        QTest::addColumn<QByteArray>("chosen");
        QTest::addColumn<int>("rate");
        for (int i = 0; i < BaudTable::COUNT; ++i) {
            const QByteArray entry = BaudTable::entry(i);
            QTest::newRow(entry) << QByteArray(BaudTable::settingsFor(QString::fromLatin1(entry))) << entry.toInt();
        }
        QTest::newRow("entry not in the list") << QByteArray(BaudTable::settingsFor("57600")) << 460800;
        QTest::newRow("entry with a blank before") << QByteArray(BaudTable::settingsFor(" 9600")) << 460800;
        QTest::newRow("string not in the table") << QByteArray("baud=57600 parity=N data=8 stop=2") << 460800;
        QTest::newRow("nullptr") << QByteArray() << 460800;
    }
    void lineSettingsNameARowOfTheBaudTable()
    {
        QFETCH(QByteArray, chosen);
        QFETCH(int, rate);
        LineSettings line;
        line.choose(BaudTable::settingsFor("38400"));  // a choice the next one replaces
        // The caller's text may change or go after the choice.
        QByteArray copy(chosen.constData(), chosen.size());
        line.choose(chosen.isNull() ? nullptr : copy.constData());
        copy.fill('x');
        QCOMPARE(line.rate(), rate);
        // The string names that rate and the framing the transport applies.
        QCOMPARE(QString::fromLatin1(line.settings()), QStringLiteral("baud=%1 parity=%2 data=%3 stop=%4")
                                                           .arg(rate)
                                                           .arg(QChar(LineSettings::PARITY))
                                                           .arg(LineSettings::DATA_BITS)
                                                           .arg(LineSettings::STOP_BITS));
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
