// The serial transport on real pseudo-terminals: against the simulated
// controller and against a bare pty the test writes into itself.
#include "platform/LinuxSerialPortMap.h"
#include "serial/BaudTable.h"
#include "serial/SerialTransport.h"
#include "simulator/ManualClock.h"
#include "simulator/SimController.h"
#include <QtTest>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {
// A raw pty whose master end the test writes; nobody answers.
class TestPty {
public:
    TestPty()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        char name[128] = {};
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
            ::ptsname_r(m_master, name, sizeof name) != 0)
            return;
        path = QString::fromLocal8Bit(name);
        m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios tio{};
        if (m_slave >= 0 && ::tcgetattr(m_slave, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(m_slave, TCSANOW, &tio);
        }
    }
    ~TestPty()
    {
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
    }
    bool write(const QByteArray& bytes) { return ::write(m_master, bytes.constData(), bytes.size()) == bytes.size(); }
    QString path;

private:
    int m_master = -1;
    int m_slave = -1;
};

QByteArray Pattern(int n)
{
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = static_cast<char>('A' + i % 26);
    return b;
}
} // namespace

class TestTransport : public QObject {
    Q_OBJECT
private slots:
    void laterOpenUsesChosenRateWith8N2_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("rate");
        for (int i = 0; i < BaudTable::COUNT; ++i)
            QTest::newRow(BaudTable::entry(i)) << QString::fromLatin1(BaudTable::entry(i))
                                               << QString::fromLatin1(BaudTable::entry(i)).toInt();
        QTest::newRow("unknown text") << "1200" << 460800;
    }
    void laterOpenUsesChosenRateWith8N2()
    {
        QFETCH(QString, entry);
        QFETCH(int, rate);
        ManualClock clock;
        SimController sim(clock, {});
        SerialTransport t(clock);
        QCOMPARE(t.OpenComPort(sim.portName()), 0);
        QCOMPARE(t.deviceBaudRate(), 460800);
        // The choice does not touch a port already open.
        t.g_pszCommDef = BaudTable::settingsFor(entry);
        QCOMPARE(t.deviceBaudRate(), 460800);
        t.CloseComPort();
        QCOMPARE(t.OpenComPort(sim.portName()), 0);
        QCOMPARE(t.m_hCom, SerialTransport::Handle::Open);
        QCOMPARE(t.deviceBaudRate(), rate);
        QCOMPARE(t.deviceFraming(), QStringLiteral("8N2"));
        QCOMPARE(t.CloseComPort(), 0);
        QCOMPARE(t.m_hCom, SerialTransport::Handle::None);
    }

    void secondOpenOfAnOpenPortFails()
    {
        ManualClock clock;
        SimController sim(clock, {});
        SerialTransport first(clock), second(clock);
        QCOMPARE(first.OpenComPort(sim.portName()), 0);
        QCOMPARE(second.OpenComPort(sim.portName()), -1);
        QCOMPARE(second.m_hCom, SerialTransport::Handle::Invalid);
        QCOMPARE(second.WriteComByte('n'), -1);
        second.CloseComPort();
        // Opening again without closing fails too, and the close frees it.
        QCOMPARE(first.OpenComPort(sim.portName()), -1);
        QCOMPARE(first.m_hCom, SerialTransport::Handle::Invalid);
        first.CloseComPort();
        QCOMPARE(second.OpenComPort(sim.portName()), 0);
    }

    void badPortFailsAndCloseLeavesNone_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << "";
        QTest::newRow("16 characters") << "ttyNOSUCHPORT123";
        QTest::newRow("missing") << "ttyNOSUCH0";
        QTest::newRow("missing path") << "/dev/nosuch";
        QTest::newRow("not a serial device") << "/dev/null";
        QTest::newRow("a directory") << "/tmp";
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

    void pumpResultFollowsBytesReceived_data()
    {
        QTest::addColumn<int>("sent");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("appended");
        QTest::newRow("1") << 1 << 1 << 1;
        QTest::newRow("1014") << 1014 << 1014 << 1014;
        QTest::newRow("1015") << 1015 << -2 << 1015;
        QTest::newRow("1024") << 1024 << -2 << 1024;
        QTest::newRow("1500 takes 1024") << 1500 << -2 << 1024;
    }
    void pumpResultFollowsBytesReceived()
    {
        QFETCH(int, sent);
        QFETCH(int, result);
        QFETCH(int, appended);
        ManualClock clock;
        TestPty pty;
        SerialTransport t(clock);
        t.setPumpIdleMs(100);
        QCOMPARE(t.OpenComPort(pty.path), 0);
        t.g_rxHead = 10000;  // across the wrap
        t.g_rxIdleCount = 7;
        const QByteArray bytes = Pattern(sent);
        QVERIFY(pty.write(bytes));
        QCOMPARE(t.PumpComReceive(), result);
        QCOMPARE(t.g_rxIdleCount, 0);
        QCOMPARE(t.g_rxHead, (10000 + appended) % SerialTransport::RING_SIZE);
        for (int i = 0; i < appended; ++i)
            QCOMPARE(char(t.g_rxRing[(10000 + i) % SerialTransport::RING_SIZE]), bytes[i]);
    }

    void pumpCountsReadsWithoutData()
    {
        ManualClock clock;
        TestPty pty;
        SerialTransport t(clock);
        t.setPumpIdleMs(5);
        // Failed reads (no port): -1 twenty times, then 1.
        for (int i = 1; i <= 20; ++i)
            QCOMPARE(t.PumpComReceive(), -1);
        QCOMPARE(t.PumpComReceive(), 1);
        QCOMPARE(t.PumpComReceive(), 1);
        // Data resets the count; empty reads give 0 up to twenty in a row.
        QCOMPARE(t.OpenComPort(pty.path), 0);
        QVERIFY(pty.write("abc"));
        QCOMPARE(t.PumpComReceive(), 3);
        for (int i = 1; i <= 20; ++i)
            QCOMPARE(t.PumpComReceive(), 0);
        QCOMPARE(t.g_rxIdleCount, 20);
        QCOMPARE(t.PumpComReceive(), 1);
        QCOMPARE(t.g_rxHead, 3);
    }

    void readEndsAtItsBound()
    {
        ManualClock clock;
        TestPty pty;
        SerialTransport t(clock);
        t.setReadTimeoutMs(100);
        QCOMPARE(t.OpenComPort(pty.path), 0);
        char buf[4] = {};
        QCOMPARE(t.ReadComPort(buf, 4), 0);
        QVERIFY(t.lastReadTimedOut());
        QVERIFY(pty.write("PA"));
        QCOMPARE(t.ReadComPort(buf, 4), 2);
        QVERIFY(t.lastReadTimedOut());
        QVERIFY(pty.write("PASS"));
        QCOMPARE(t.ReadComPort(buf, 4), 4);
        QVERIFY(!t.lastReadTimedOut());
        QCOMPARE(QByteArray(buf, 4), QByteArray("PASS"));
    }

    void openDiscardsWhatWaited()
    {
        ManualClock clock;
        TestPty pty;
        SerialTransport t(clock);
        t.setReadTimeoutMs(100);
        QVERIFY(pty.write("stale"));
        QCOMPARE(t.OpenComPort(pty.path), 0);
        char buf[8];
        QCOMPARE(t.ReadComPort(buf, 5), 0);
    }

    void removedDeviceFailsReadsAndWrites()
    {
        ManualClock clock;
        SimController sim(clock, {});
        SerialTransport t(clock);
        QCOMPARE(t.OpenComPort(sim.portName()), 0);
        sim.unplug();
        char buf[4];
        QCOMPARE(t.ReadComPort(buf, 4), -1);
        QVERIFY(!t.lastReadTimedOut());
        QCOMPARE(t.WriteComByte('n'), -1);
        QCOMPARE(t.CloseComPort(), 0);
    }

    void linuxMapListsTtyNodesWithDrivers()
    {
        // Whatever this machine has: every entry names a driver and an
        // existing device node, and the read itself does not fail.
        LinuxSerialPortMap map;
        std::vector<SerialPortEntry> ports{{"stale", "stale"}};
        QVERIFY(map.ports(ports));
        for (const SerialPortEntry& e : ports) {
            QVERIFY(!e.deviceName.empty());
            QVERIFY2(QFile::exists(QStringLiteral("/dev/") + QString::fromStdString(e.portName)), e.portName.c_str());
        }
    }
};

QTEST_GUILESS_MAIN(TestTransport)
#include "tst_transport.moc"
