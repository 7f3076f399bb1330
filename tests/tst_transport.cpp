// The serial transport on real pseudo-terminals: against the simulated
// controller and against a bare pty the test writes into itself. The test
// runs itself again with the output-queue shim preloaded, so that the bytes
// of a write stay in the port's queue for a while, as on a serial line.
#include "PtyPeer.h"
#include "TestSupport.h"
#include "serial/BaudTable.h"
#include "serial/ReceiveRing.h"
#include "serial/SerialTransport.h"
#include "simulator/ManualClock.h"
#include "simulator/SimController.h"
#include <QDir>
#include <QtTest>
#include <cerrno>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The shim's control: how long the bytes of later writes stay queued, in ms
// (negative: for ever). Null when the shim is not loaded.
using HoldFn = void (*)(int);
HoldFn QueueHold() { return reinterpret_cast<HoldFn>(::dlsym(RTLD_DEFAULT, "morvax_out_queue_hold")); }

// The bytes the port at path reports queued for output, asked on the
// descriptor this process has it open with; -1 when there is none.
int QueuedOn(const QString& path)
{
    for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System)) {
        int queued = 0;
        if (fd.symLinkTarget() == path && ::ioctl(fd.fileName().toInt(), TIOCOUTQ, &queued) == 0)
            return queued;
    }
    return -1;
}

// errno of an open of path by another user (nobody, when this is root, which
// TIOCEXCL does not stop); 0 when it opened.
int OpenAsAnotherUser(const QString& path)
{
    std::optional<AsUser> nobody;
    if (::geteuid() == 0)
        nobody.emplace(65534, 65534, std::vector<gid_t>{});
    if (nobody && !nobody->ok())
        return -1;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const int error = fd < 0 ? errno : 0;
    if (fd >= 0)
        ::close(fd);
    return error;
}
} // namespace

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

    // Every call after a failure fails or returns as its contract says, and
    // failure() keeps the first cause until the next open.
    void firstFailureIsKept_data()
    {
        QTest::addColumn<QString>("port");  // PTY: a pseudo-terminal's path
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QList<int>>("results");
        QTest::addColumn<QString>("failure");  // failure().line() at the end; PTY as above
        const QStringList badOpen{"open", "read", "write", "close"};
        const QList<int> refused{-1, -1, -1, 0};
        QTest::newRow("empty name") << "" << badOpen << refused << "(no device): cannot open: no port name";
        QTest::newRow("16 characters") << "ttyNOSUCHPORT123" << badOpen << refused
                                       << "ttyNOSUCHPORT123: cannot open: the name is longer than 15 characters";
        QTest::newRow("missing") << "ttyNOSUCH0" << badOpen << refused
                                 << "ttyNOSUCH0: cannot open: No such file or directory";
        QTest::newRow("not a serial device") << "/dev/null" << badOpen << refused
                                             << "/dev/null: cannot open: not a serial port";
        QTest::newRow("opened twice here") << "PTY" << QStringList{"open", "open", "write"} << QList<int>{0, -1, -1}
                                           << "PTY: busy: a port is already open here";
        QTest::newRow("read out of time, then a write after the close")
            << "PTY" << QStringList{"open", "read", "close", "write"} << QList<int>{0, 0, 0, -1}
            << "PTY: read: no answer within 0.1 s";
        QTest::newRow("output that never leaves, then a read out of time")
            << "PTY" << QStringList{"open", "stalled write", "read"} << QList<int>{0, -1, 0}
            << "PTY: write: the controller took no data for 0.1 s";
        QTest::newRow("a new open starts clean") << "PTY" << QStringList{"open", "stalled write", "close", "open"}
                                                 << QList<int>{0, -1, 0, 0} << "";
    }
    void firstFailureIsKept()
    {
        QFETCH(QString, port);
        QFETCH(QStringList, steps);
        QFETCH(QList<int>, results);
        QFETCH(QString, failure);
        const HoldFn hold = QueueHold();
        if (steps.contains("stalled write") && !hold)
            QSKIP("the output-queue shim is not loaded");
        ManualClock clock;
        PtyPeer pty({.answers = false, .holdPort = false});
        port.replace("PTY", pty.path());
        failure.replace("PTY", pty.path());
        SerialTransport t(clock);
        t.setReadTimeoutMs(100);
        t.setWriteTimeoutMs(100);
        QList<int> got;
        char buf[4];
        for (const QString& step : steps) {
            if (step == "open") {
                got << t.OpenComPort(port);
                QCOMPARE(t.m_hCom, got.last() == 0 ? SerialTransport::Handle::Open : SerialTransport::Handle::Invalid);
            } else if (step == "read") {
                got << t.ReadComPort(buf, 4);
            } else if (step == "write") {
                got << t.WriteComPort("ab", 2);
            } else if (step == "stalled write") {
                hold(-1);
                got << t.WriteComPort("ab", 2);
                hold(0);
            } else {
                got << t.CloseComPort();
                QCOMPARE(t.m_hCom, SerialTransport::Handle::None);
            }
        }
        QCOMPARE(got, results);
        QCOMPARE(t.failure().line(), failure);
    }

    // A write returns once its bytes have left the port, not when the port
    // took them: a line holds them a while after the write.
    void writeReturnsOnceItsBytesHaveLeft()
    {
        const HoldFn hold = QueueHold();
        if (!hold)
            QSKIP("the output-queue shim is not loaded");
        ManualClock clock;
        PtyPeer pty({.answers = false, .holdPort = false});
        SerialTransport t(clock);
        QCOMPARE(t.OpenComPort(pty.path()), 0);
        hold(300);
        const QByteArray record(287, 'r');
        const int written = t.WriteComPort(record.constData(), int(record.size()));
        const int queued = QueuedOn(pty.path());
        hold(0);
        QCOMPARE(written, 287);
        QCOMPARE(queued, 0);
        QVERIFY(t.failure().ok());
    }

    // While the transport holds the port, the opens of other programs fail
    // as busy; after the close they succeed again, though the tty lives on
    // (held here, as another program may hold it).
    void otherUsersOpensAreRefusedWhileThePortIsHeld()
    {
        ManualClock clock;
        PtyPeer pty({.answers = false});
        QVERIFY(::chmod(QFile::encodeName(pty.path()).constData(), 0666) == 0);  // for anyone but for the lock
        SerialTransport t(clock);
        QCOMPARE(OpenAsAnotherUser(pty.path()), 0);
        QCOMPARE(t.OpenComPort(pty.path()), 0);
        QCOMPARE(OpenAsAnotherUser(pty.path()), EBUSY);
        t.CloseComPort();
        QCOMPARE(OpenAsAnotherUser(pty.path()), 0);
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

    // The pump's read goes on for as long as bytes keep coming, past its idle
    // time: a piece comes each time the transport lets the window paint
    // (every 20 ms of its waiting), thirty of them.
    void pumpReadsOnWhileBytesKeepComing()
    {
        struct PaintingClock : ManualClock {
            std::function<void()> painted;
            void pump() override
            {
                ManualClock::pump();
                if (painted)
                    painted();
            }
        } clock;
        PtyPeer pty({.answers = false});
        SerialTransport t(clock);
        QCOMPARE(t.OpenComPort(pty.path()), 0);
        int pieces = 0;
        clock.painted = [&] { pieces += pieces < 30 && pty.write("0123456789") ? 1 : 0; };
        t.setPumpIdleMs(300);
        QCOMPARE(t.PumpComReceive(), 300);
        QCOMPARE(pieces, 30);
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

int main(int argc, char** argv)
{
    // The shim takes the C library's calls only when it is loaded before
    // them: the test runs again with it preloaded.
    if (!qEnvironmentVariableIsSet("MORVAX_OUT_QUEUE_SHIM")) {
        ::setenv("MORVAX_OUT_QUEUE_SHIM", OUT_QUEUE_SHIM, 1);
        QByteArray preload = qgetenv("LD_PRELOAD");
        preload += (preload.isEmpty() ? "" : ":") + QByteArray(OUT_QUEUE_SHIM);
        ::setenv("LD_PRELOAD", preload.constData(), 1);
        ::execv("/proc/self/exe", argv);
    }
    QCoreApplication app(argc, argv);
    TestTransport test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_transport.moc"
