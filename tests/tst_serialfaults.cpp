// What the window shows when a serial operation fails: for every way the
// port can fail and every operation that uses it, the operation's own message,
// one line in front of the log that says why, no swatch marked, no light
// turned green, the bar back at 0 and the mode left as it was.
#include "PtyPeer.h"
#include "TestSupport.h"
#include "controls/HoverButton.h"
#include "controls/LedCtrl.h"
#include "controls/ModeSwatch.h"
#include "serial/PortLock.h"
#include "serial/SerialTransport.h"
#include <QFile>
#include <QProgressBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
enum Fault { Missing, BusyExclusive, BusyReader, BusyLock, Denied, Stall, Unplug };
enum Op { ModeD, ModeN, ModeZ, ModeDollar, Eeprom, Flash, ToHid };
const char* const FAULTS[] = {"no such port",      "busy with TIOCEXCL", "busy with a reader", "busy with a lock file",
                              "permission denied", "stall mid-write",    "unplug at record 3"};
const char* const OPS[] = {"d", "n", "z", "$", "EEPROM download", "flash download", "Switch to HID"};
constexpr int WRITE_BOUND_MS = 300;

bool IsDownload(Op op) { return op == Eeprom || op == Flash; }

// Another process holding the port: open (with TIOCEXCL for BusyExclusive),
// or only through the lock file Qt programs take (BusyLock). Its command name
// is "holder". Gone with the object.
class Holder {
public:
    Holder(const QString& path, Fault how)
    {
        const bool exclusive = how == BusyExclusive, opens = how != BusyLock;
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        const QByteArray native = path.toLocal8Bit();
        m_pid = ::fork();
        if (m_pid == 0) {
            // Only async-signal-safe calls from here on. Nothing inherited is
            // held: the simulated controller's own side of the pty is not.
            ::close_range(3, ready[1] - 1, 0);
            ::close_range(ready[1] + 1, ~0U, 0);
            ::prctl(PR_SET_NAME, "holder");
            const int fd = opens ? ::open(native.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK) : 0;
            if (fd >= 0 && (!exclusive || ::ioctl(fd, TIOCEXCL) == 0))
                (void)!::write(ready[1], "r", 1);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        pollfd p{ready[0], POLLIN, 0};
        char c = 0;
        m_ready = ::poll(&p, 1, 5000) == 1 && ::read(ready[0], &c, 1) == 1;
        ::close(ready[0]);
        if (how == BusyLock) {
            // The lock file as QLockFile writes it: pid, program, host.
            m_lock = PortLock::LockFilePath(path);
            m_ready = m_ready && WriteFile(m_lock, QByteArray::number(m_pid) + '\n' +
                                                      QCoreApplication::applicationName().toUtf8() + '\n' +
                                                      QSysInfo::machineHostName().toUtf8() + '\n');
        }
    }
    ~Holder()
    {
        if (!m_lock.isEmpty())
            QFile::remove(m_lock);
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    bool ready() const { return m_ready; }

private:
    pid_t m_pid = -1;
    bool m_ready = false;
    QString m_lock;
};

// Runs op on port through the window with fault in force and checks what the
// user sees; reason matches the line the log must show first.
void CheckFault(Fault fault, Op op, const QString& deniedPort)
{
    SimKnobs knobs;
    if (fault == Stall)
        knobs.stallFromRecord = IsDownload(op) ? 3 : 1;
    if (fault == Unplug)
        knobs.unplugAtRecord = 3;
    OpenedDialog f(knobs);
    if (fault == Stall)  // the one row that waits for the bound
        f.dlg->m_transport->setWriteTimeoutMs(WRITE_BOUND_MS);
    QString port = f.controller().portName();
    if (fault == Missing)
        port = QStringLiteral("ttyNOSUCH0");
    if (fault == Denied)
        port = deniedPort;
    f.dlg->m_strComPort = port;
    f.dlg->UpdateData(false);
    std::unique_ptr<Holder> holder;
    if (fault == BusyExclusive || fault == BusyReader || fault == BusyLock) {
        holder = std::make_unique<Holder>(port, Fault(fault));
        QVERIFY(holder->ready());
    }

    // A state the failure must not disturb: one swatch marked by an earlier
    // command, the download lights green from an earlier success.
    const int marked = op < Eeprom ? (op + 1) % 4 : 0;
    f.dlg->m_swatch[marked]->draw(QStringLiteral("  x  "), QColor(0, 255, 0), Qt::black);
    f.dlg->SetLight(f.dlg->m_ledEeprom, LED_GREEN);
    f.dlg->SetLight(f.dlg->m_ledFlash, LED_GREEN);
    const QString image = f.dir.filePath(op == Eeprom ? QStringLiteral("fw.eep.mvx") : QStringLiteral("fw.mvx"));
    QVERIFY(WriteFile(image, Lines(op == Eeprom ? 8 : 227)));
    f.dlg->m_strEepromFile = f.dlg->m_strFlashFile = image;

    QAbstractButton* button = op < Eeprom ? static_cast<QAbstractButton*>(f.dlg->m_radio[op])
                              : op == Eeprom ? f.dlg->m_btnEepromDownload
                              : op == Flash  ? f.dlg->m_btnFlashDownload
                                             : f.dlg->m_btnSwitchToHid;
    // Root may open any port: the click runs as nobody, who may read the image.
    std::optional<AsUser> nobody;
    if (fault == Denied && ::getuid() == 0) {
        QVERIFY(QFile::setPermissions(f.dir.path(), QFile::Permissions(0x7755)));
        nobody.emplace(65534, 65534, std::vector<gid_t>{});
        QVERIFY(nobody->ok());
    }
    QTest::mouseClick(button, Qt::LeftButton);
    nobody.reset();

    const QString p = QRegularExpression::escape(port);
    const QString reason = fault == Missing ? p + ": cannot open: No such file or directory"
                           : fault == Denied
                               ? p + ": cannot open: Permission denied: run `scripts/install-udev-rule.sh` or join "
                                     "the dialout group"
                           : fault == Stall ? p + ": write: the controller took no data for 0.3 s"
                           : fault == Unplug ? p + ": read: the device is gone \\(Input/output error\\)"
                           : fault == BusyLock
                               ? p + ": busy: locked by " + QCoreApplication::applicationName() + " \\(pid \\d+\\)"
                               : p + ": busy: held by holder \\(pid \\d+\\)";
    // One line for one cause; a download says first which bytes it sends.
    const QString digest = IsDownload(op) ? QStringLiteral("fw\\.(eep\\.)?mvx: SHA-256 [0-9a-f]{64}\r\n") : QString();
    const QString shown = f.shownLog();
    QVERIFY2(QRegularExpression("^" + reason + "\r\n" + digest + "$").match(shown).hasMatch(), qPrintable(shown));

    const bool opens = fault == Stall || fault == Unplug;
    const QString message = IsDownload(op)    ? QStringLiteral("Download Failed: Return Error")
                            : op == ToHid && !opens ? QStringLiteral("COM cannot open!")
                                                    : QString();
    QCOMPARE(f.prompts.messages, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(f.prompts.captions, message.isEmpty() ? QStringList() : QStringList{"Error"});
    if (op == ToHid)
        QCOMPARE(f.clock.sleptMs(), 0);  // no wait for a switch that was not sent
    for (int i = 0; i < 4; ++i)
        QCOMPARE(f.dlg->m_swatch[i]->marked(), i == marked);
    QCOMPARE(f.dlg->m_swatch[marked]->text(), QStringLiteral("  x  "));
    if (IsDownload(op)) {
        QCOMPARE(LightState(op == Eeprom ? f.dlg->m_ledEeprom : f.dlg->m_ledFlash), 0);
        QCOMPARE((op == Eeprom ? f.dlg->m_progEeprom : f.dlg->m_progFlash)->value(), 0);
        const int records = fault == Stall ? 2 : fault == Unplug ? 3 : 0;
        QCOMPARE(int(f.controller().records().size()), records);
    } else {
        QCOMPARE(f.controller().serialLog(), QByteArray());  // not a byte of the command
    }
    // The mode stays, unless the controller left the bus.
    QCOMPARE(ShownIndication(f), fault == Unplug ? NO_MODE : COM_MODE);
    QCOMPARE(f.dlg->m_transport->m_hCom, SerialTransport::Handle::None);
}
} // namespace

class TestSerialFaults : public QObject {
    Q_OBJECT
private slots:
    void failureIsToldAndNothingMarked_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("op");
        for (int fault = Missing; fault <= Unplug; ++fault)
            for (int op = ModeD; op <= ToHid; ++op)
                if (fault != Unplug || IsDownload(Op(op)))  // only a download has records
                    QTest::addRow("%s, %s", FAULTS[fault], OPS[op]) << fault << op;
    }
    void failureIsToldAndNothingMarked()
    {
        QFETCH(int, fault);
        QFETCH(int, op);
        // The denied port: a pseudo-terminal only its owner may open (the
        // click then runs as nobody), or, to a user other than root, that not
        // even its owner may open.
        PtyPeer denied({.answers = false, .holdPort = false});
        QVERIFY(::chmod(QFile::encodeName(denied.path()).constData(), ::getuid() == 0 ? 0600 : 0) == 0);
        CheckFault(Fault(fault), Op(op), denied.path());
    }
};

QTEST_MAIN(TestSerialFaults)
#include "tst_serialfaults.moc"
