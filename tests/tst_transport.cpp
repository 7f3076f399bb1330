// The serial transport on real pseudo-terminals: against the simulated
// controller and against a bare pty the test writes into itself.
#include "PtyPeer.h"
#include "serial/BaudTable.h"
#include "serial/ReceiveRing.h"
#include "serial/SerialTransport.h"
#include "simulator/ManualClock.h"
#include "simulator/SimController.h"
#include <QtTest>

class TestTransport : public QObject {
    Q_OBJECT
private slots:
    void reopenFollowsBaudChoiceAndIsExclusive_data()
    {
        QTest::addColumn<QString>("entry");
        for (int i = 0; i < BaudTable::COUNT; ++i)
            QTest::newRow(BaudTable::entry(i)) << QString::fromLatin1(BaudTable::entry(i));
    }
    void reopenFollowsBaudChoiceAndIsExclusive()
    {
        QFETCH(QString, entry);
        ManualClock clock;
        SimController sim(clock, {});
        SerialTransport t(clock), other(clock);
        QCOMPARE(t.OpenComPort(sim.portName()), 0);
        QCOMPARE(other.OpenComPort(sim.portName()), -1);  // held open by t
        // The choice does not touch a port already open.
        t.lineSettings().choose(BaudTable::settingsFor(entry));
        QCOMPARE(t.deviceBaudRate(), 460800);
        t.CloseComPort();
        QCOMPARE(t.OpenComPort(sim.portName()), 0);
        QCOMPARE(t.deviceBaudRate(), entry.toInt());
        QCOMPARE(t.deviceFraming(), QStringLiteral("8N2"));
        QCOMPARE(t.CloseComPort(), 0);
        QCOMPARE(t.m_hCom, SerialTransport::Handle::None);
        // The close freed the port for the next open.
        QCOMPARE(other.OpenComPort(sim.portName()), 0);
    }

    void badPortFailsAndCloseLeavesNone_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << "";
        QTest::newRow("16 characters") << "ttyNOSUCHPORT123";
        QTest::newRow("missing") << "ttyNOSUCH0";
        QTest::newRow("not a serial device") << "/dev/null";
    }
    void badPortFailsAndCloseLeavesNone()
    {
        QFETCH(QString, name);
        ManualClock clock;
        SerialTransport t(clock);
        QCOMPARE(t.OpenComPort(name), -1);
        QCOMPARE(t.m_hCom, SerialTransport::Handle::Invalid);
        char buf[4];
        QCOMPARE(t.ReadComPort(buf, 4), -1);
        QCOMPARE(t.WriteComPort("ab", 2), -1);
        QCOMPARE(t.CloseComPort(), 0);
        QCOMPARE(t.m_hCom, SerialTransport::Handle::None);
    }

    void pumpResultsAndIdleCount_data()
    {
        QTest::addColumn<int>("sent");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("appended");
        QTest::newRow("1014") << 1014 << 1014 << 1014;
        QTest::newRow("1015") << 1015 << -2 << 1015;
        QTest::newRow("1500 takes 1024") << 1500 << -2 << 1024;
    }
    void pumpResultsAndIdleCount()
    {
        QFETCH(int, sent);
        QFETCH(int, result);
        QFETCH(int, appended);
        ManualClock clock;
        PtyPeer pty({.answers = false});
        SerialTransport t(clock);
        t.setPumpIdleMs(5);
        // Failed reads (no port) count as idle: -1 twenty times, then 1.
        for (int i = 1; i <= 20; ++i)
            QCOMPARE(t.PumpComReceive(), -1);
        QCOMPARE(t.PumpComReceive(), 1);
        QCOMPARE(t.OpenComPort(pty.path()), 0);
        // 10000 bytes first, so that what follows goes across the ring's wrap.
        const ReceiveRing& ring = t.ring();
        t.setPumpIdleMs(20);
        for (int i = 0; i < 10; ++i) {
            QVERIFY(pty.write(QByteArray(1000, '.')));
            t.PumpComReceive();
        }
        for (int tries = 0; ring.head() < 10000 && tries < 50; ++tries)
            t.PumpComReceive();
        QCOMPARE(ring.head(), 10000);
        const QByteArray bytes = QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZ").repeated(sent / 26 + 1).left(sent);
        QVERIFY(pty.write(bytes));
        t.setPumpIdleMs(SerialTransport::DEFAULT_PUMP_IDLE_MS);  // however slowly the bytes come
        QCOMPARE(t.PumpComReceive(), result);
        QCOMPARE(t.g_rxIdleCount, 0);
        QCOMPARE(ring.head(), (10000 + appended) % ReceiveRing::SIZE);
        for (int i = 0; i < appended; ++i)
            QCOMPARE(char(ring.at((10000 + i) % ReceiveRing::SIZE)), bytes[i]);
        if (appended < sent)
            return;
        // Everything taken: reads without data give 0 twenty times, then 1.
        t.setPumpIdleMs(5);
        for (int i = 1; i <= 20; ++i)
            QCOMPARE(t.PumpComReceive(), 0);
        QCOMPARE(t.PumpComReceive(), 1);
    }

    void openDiscardsWhatWaitedAndReadEndsAtItsBound()
    {
        ManualClock clock;
        PtyPeer pty({.answers = false});
        SerialTransport t(clock);
        t.setReadTimeoutMs(100);
        QVERIFY(pty.write("stale"));
        QCOMPARE(t.OpenComPort(pty.path()), 0);
        QVERIFY(pty.write("PA"));
        char buf[4] = {};
        QCOMPARE(t.ReadComPort(buf, 4), 2);
        QVERIFY(t.lastReadTimedOut());
        QCOMPARE(QByteArray(buf, 2), QByteArray("PA"));
        t.setReadTimeoutMs(SerialTransport::DEFAULT_READ_TIMEOUT_MS);
        QVERIFY(pty.write("PASS"));
        QCOMPARE(t.ReadComPort(buf, 4), 4);
        QVERIFY(!t.lastReadTimedOut());
        QCOMPARE(QByteArray(buf, 4), QByteArray("PASS"));
    }
};

QTEST_GUILESS_MAIN(TestTransport)
#include "tst_transport.moc"
