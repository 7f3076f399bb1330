// The command line end to end: the real executable without a display, on the
// simulated controller (--simulate, MORVAX_SIM for its knobs) and on pseudo-
// terminals this test serves from their master side.
#include "PtyPeer.h"
#include "TestSupport.h"
#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray Record(const QByteArray& line) { return line + QByteArray(287 - line.size(), '\0'); }

// A controller on a pseudo-terminal that only the tool holds open, so that
// its check for other holders of the port finds nobody.
PtyPeerOptions Unheld(int answerDelayMs = 0) { return {.answerDelayMs = answerDelayMs, .holdPort = false}; }

struct Run {
    int exit = -1;
    QString out, err;
};

// The tool with no display at all: a window would need one and fail.
QProcess* Start(const QStringList& args, const QString& dir, const QString& sim = {})
{
    auto* p = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("MORVAX_SIM"));
    if (!sim.isEmpty())
        env.insert(QStringLiteral("MORVAX_SIM"), sim);
    p->setProcessEnvironment(env);
    p->setWorkingDirectory(dir);
    p->start(QStringLiteral(MORVAX_TOOL), args);
    return p;
}

Run Finish(QProcess* p)
{
    std::unique_ptr<QProcess> owner(p);
    Run r;
    if (!p->waitForFinished(60000))
        p->kill();
    r.exit = p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -p->exitCode();
    r.out = QString::fromLocal8Bit(p->readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p->readAllStandardError());
    return r;
}

// Lines of JSON output, parsed; an empty list when any line is not an object.
QList<QJsonObject> Events(const QString& out)
{
    QList<QJsonObject> events;
    for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts)) {
        const QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8());
        if (!doc.isObject())
            return {};
        events << doc.object();
    }
    return events;
}
} // namespace

class TestCli : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_flash;

    Run tool(const QStringList& args, const QString& sim = {}) { return Finish(Start(args, m_dir.path(), sim)); }

private slots:
    void initTestCase()
    {
        m_flash = m_dir.filePath("fw.mvx");
        const std::pair<const char*, QByteArray> files[] = {{"fw.mvx", Lines(230)}, {"fw.eep.mvx", Lines(8)},
                                                             {"short.eep.mvx", Lines(7)}, {"fw.bin", Lines(230)},
                                                             {"long.mvx", Lines(3) + QByteArray(300, 'y') + "\n"}};
        for (const auto& [name, bytes] : files)
            QVERIFY(WriteFile(m_dir.filePath(name), bytes));
    }

    // The grammar, every command once on the simulated controller, and the
    // exit-status table over the points where an exchange can fail.
    void commands_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("sim");  // MORVAX_SIM
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("text");  // a pattern in stdout for exit 0, else in stderr
        QTest::newRow("--help") << QStringList{"--help"} << "" << 0 << "Exit status:";
        QTest::newRow("--version") << QStringList{"--version"} << "" << 0
                                   << "^morvax-tool " + QRegularExpression::escape(PROJECT_VERSION) + "\n$";
        QTest::newRow("command --help") << QStringList{"flash", "--help"} << "" << 0 << "Usage:";
        QTest::newRow("--simulate hid") << QStringList{"--simulate", "hid"} << "" << 2
                                        << "unknown command 'hid' \\(did you mean --simulate=hid\\?\\)";
        QTest::newRow("--simulate=usb") << QStringList{"--simulate=usb"} << "" << 2 << "--simulate takes com or hid";
        QTest::newRow("unknown command") << QStringList{"frob"} << "" << 2 << "unknown command 'frob'";
        QTest::newRow("unknown option") << QStringList{"list", "--frob"} << "" << 2 << "unknown option '--frob'";
        QTest::newRow("option of another command") << QStringList{"flash", "fw.mvx", "--seconds", "3"} << "" << 2
                                                   << "--seconds does not apply to flash";
        QTest::newRow("no FILE") << QStringList{"flash"} << "" << 2 << "flash needs a FILE";
        QTest::newRow("bad mode letter") << QStringList{"status", "q"} << "" << 2
                                         << "status takes d\\|n\\|z\\|\\$, not 'q'";
        QTest::newRow("bad rate") << QStringList{"status", "d", "--baud", "1200"} << "" << 2 << "--baud takes one of";
        QTest::newRow("--csv of z") << QStringList{"status", "z", "--csv"} << "" << 2
                                    << "--csv takes the status reports of d and n; z has none";
        QTest::newRow("--csv and --json") << QStringList{"status", "d", "--csv", "--json"} << "" << 2
                                          << "--csv and --json are two forms of one output";
        QTest::newRow("bad VID") << QStringList{"info", "--vid", "12345"} << "" << 2
                                 << "--vid takes up to four hex digits";
        QTest::newRow("option without a command") << QStringList{"--json"} << "" << 2 << "--json needs a command";
        QTest::newRow("--port with --serial") << QStringList{"flash", "fw.mvx", "--port", "ttyACM0", "--serial", "x"}
                                              << "" << 2 << "give it without --usb-path and --serial";
        QTest::newRow("--port with --usb-path") << QStringList{"status", "z", "--port", "ttyACM0", "--usb-path", "1-1"}
                                                << "" << 2 << "give it without --usb-path and --serial";
        QTest::newRow("--csv with --json") << QStringList{"history", "--csv", "--json"} << "" << 2
                                           << "--csv and --json are two forms of one output; give one";
        QTest::newRow("--seconds past an hour") << QStringList{"status", "d", "--seconds", "3601"} << "" << 2
                                                << "--seconds takes a whole number from 1 to 3600, not '3601'";
        QTest::newRow("udev-rule takes no port") << QStringList{"udev-rule", "--port", "ttyACM0"} << "" << 2
                                                 << "--port does not apply to udev-rule";
        QTest::newRow("--all with --slots") << QStringList{"flash", "fw.mvx", "--all", "--slots", "A1"} << "" << 2
                                            << "--all, --slots and --watch are three ways";
        QTest::newRow("--watch with --usb-path") << QStringList{"flash", "fw.mvx", "--watch", "--usb-path", "1-1"} << ""
                                                 << 2 << "--watch picks the controllers itself";
        QTest::newRow("--expect-version not a version") << QStringList{"flash", "fw.mvx", "--expect-version", "v2"}
                                                        << "" << 2 << "--expect-version takes up to four hex digits";
        const QString com = QStringLiteral("--simulate"), hid = QStringLiteral("--simulate=hid");
        QTest::newRow("list") << QStringList{"list", com} << "controllers=2" << 0
                              << "COM  /dev/pts/\\d+  usb 1-1.2  serial MVX0002";
        QTest::newRow("info") << QStringList{"info", hid} << "" << 0 << "version 0x213";
        QTest::newRow("flash") << QStringList{"flash", "fw.mvx", com} << "" << 0
                               << "DownLoad Successful!\n230 records to /dev/pts/\\d+ in [0-9.]+ s; the controller "
                                  "stays in COM mode";
        // Only the flashed controller is looked for over HID, not another one.
        QTest::newRow("flash, another controller in HID mode")
            << QStringList{"flash", "fw.mvx", com} << "controllers=2,2.startMode=hid" << 0
            << "DownLoad Successful!\n230 records to /dev/pts/\\d+ in [0-9.]+ s; the controller stays in COM mode";
        const QByteArray flashSha256 = QCryptographicHash::hash(Lines(230), QCryptographicHash::Sha256).toHex();
        QTest::newRow("--sha256 in capitals") << QStringList{"flash", "fw.mvx", com, "--sha256", flashSha256.toUpper()}
                                              << "" << 0 << "DownLoad Successful!";
        QTest::newRow("eeprom at 115200") << QStringList{"eeprom", "fw.eep.mvx", com, "--baud", "115200"} << "" << 0
                                          << "DownLoad Successful!";
        QTest::newRow("status d") << QStringList{"status", "d", com} << "" << 0
                                  << "^(\\$ \\+00001 ,-00002 ,\\+00030 ,\\+00127 ,\\+00000 ,-00056 ,\n){10,}$";
        QTest::newRow("status $") << QStringList{"status", "$", com} << "" << 0 << "^\\$ sent\n$";
        QTest::newRow("list both modes") << QStringList{"list", hid} << "controllers=2"
                                         << 0 << "HID  sim:controller-2  usb 1-1.2  serial MVX0002  version 0x213";
        QTest::newRow("switch hid") << QStringList{"switch", "hid", com} << "" << 0
                                    << "In HID mode at sim:controller, version 0x213";
        QTest::newRow("switch hid, one of two") << QStringList{"switch", "hid", com, "--serial", "MVX0002"}
                                                << "controllers=2" << 0
                                                << "In HID mode at sim:controller-2, version 0x213";
        QTest::newRow("switch hid, already") << QStringList{"switch", "hid", hid} << "" << 0 << "Already Open USBHID!";
        QTest::newRow("switch com") << QStringList{"switch", "com", hid} << "" << 0 << "In COM mode at /dev/pts/\\d+";
        QTest::newRow("switch com, already") << QStringList{"switch", "com", com} << "" << 0 << "Already Open COM!";
        QTest::newRow("calibrate") << QStringList{"calibrate", hid} << "" << 0 << "HID calibrate successfully!";
        QTest::newRow("info, one of two") << QStringList{"info", hid, "--usb-path", "1-1.2"}
                                          << "controllers=2,version=0fab" << 0 << "version 0xfab";
        QTest::newRow("station: eight, two failing")
            << QStringList{"flash", "fw.mvx", com, "--all"} << "controllers=8,3.wrongAnswerAtRecord=10,5.unplugAtRecord=100"
            << 6 << "6 of 8 slots passed";
        QTest::newRow("version expected") << QStringList{"flash", "fw.mvx", com, "--expect-version", "213"}
                                          << "switchAbsentMs=200" << 0 << "switched to HID mode for its version, 0x213";
        QTest::newRow("another version") << QStringList{"flash", "fw.mvx", com, "--expect-version", "0x212"}
                                         << "switchAbsentMs=200" << 1 << "version 0x213, expected 0x212";
        QTest::newRow("pick by USB path") << QStringList{"flash", "fw.mvx", com, "--usb-path", "1-1.2"}
                                          << "controllers=3" << 0 << "DownLoad Successful!";

        QTest::newRow("wrong answer") << QStringList{"flash", "fw.mvx", com} << "wrongAnswerAtRecord=3" << 1
                                      << "Download Failed: Return Error\nmorvax-tool: Record 3 was refused.";
        QTest::newRow("too few lines") << QStringList{"eeprom", "short.eep.mvx", com} << "" << 1
                                       << "Download Failed: Lines Number Of The File Is Error";
        QTest::newRow("calibration failed") << QStringList{"calibrate", hid} << "calibrationResult=1" << 1
                                            << "HID calibrate failed1!";
        QTest::newRow("switch report refused") << QStringList{"switch", "com", hid} << "setFeatureError=32" << 1
                                               << "The switch command could not be sent!\nmorvax-tool: sim:controller: "
                                                  "feature report: Broken pipe";
        QTest::newRow("calibration read-back failed") << QStringList{"calibrate", hid} << "getFeatureError=5" << 1
                                                      << "HID calibrate failed1!\nmorvax-tool: sim:controller: "
                                                         "read-back: .*Input/output error";
        // "No such device" from a device still on the bus is a refusal.
        QTest::newRow("switch report: no such device, still there") << QStringList{"switch", "com", hid}
                                                                    << "setFeatureError=19" << 1 << "No such device";
        QTest::newRow("wrong name") << QStringList{"flash", "fw.bin", com} << "" << 2 << "Please choose .mvx file!";
        const QByteArray eepromSha256 = QCryptographicHash::hash(Lines(8), QCryptographicHash::Sha256).toHex();
        QTest::newRow("--sha256 of another image")
            << QStringList{"flash", "fw.mvx", com, "--sha256", eepromSha256} << "" << 2
            << QStringLiteral("The image is not the one --sha256 names\nmorvax-tool: fw.mvx: SHA-256 %1, not %2")
                   .arg(flashSha256, eepromSha256);
        QTest::newRow("missing file") << QStringList{"flash", "gone.mvx", com} << "" << 2
                                      << "Can't open the .mvx file!\nmorvax-tool: .*gone.mvx: No such file";
        QTest::newRow("line too long") << QStringList{"flash", "long.mvx", com} << "" << 2
                                       << "Line 4 of the file is too long for one record!";
        QTest::newRow("no such port") << QStringList{"flash", "fw.mvx", "--port", "/dev/ttyNOSUCH0"} << "" << 3
                                      << "ttyNOSUCH0: cannot open: No such file or directory";
        QTest::newRow("no controller in COM mode") << QStringList{"status", "$", hid} << "" << 3
                                                   << "Please switch to CDC mode!\nmorvax-tool: the controller is in "
                                                      "HID mode \\(morvax-tool switch com\\)";
        QTest::newRow("no controller at all") << QStringList{"flash", "fw.mvx", com} << "startPresent=0" << 3
                                              << "No controller found";
        QTest::newRow("no controller over HID") << QStringList{"info", com} << "" << 3
                                                << "Could not find the specified HID device!";
        QTest::newRow("several candidates") << QStringList{"flash", "fw.mvx", com} << "controllers=2" << 3
                                            << "2 controllers in COM mode; pick one with --port, --usb-path or "
                                               "--serial\nmorvax-tool: /dev/pts/\\d+ \\(usb 1-1.1, serial MVX0001\\); "
                                               "/dev/pts/\\d+ \\(usb 1-1.2, serial MVX0002\\)";
        QTest::newRow("several candidates over HID") << QStringList{"calibrate", hid} << "controllers=2" << 3
                                                     << "2 controllers in HID mode; pick one with --usb-path or --serial";
        QTest::newRow("no such USB path") << QStringList{"flash", "fw.mvx", com, "--usb-path", "2-1"} << "" << 3
                                          << "No controller found\nmorvax-tool: no controller in COM mode matches "
                                             "--usb-path/--serial";
        QTest::newRow("silent controller") << QStringList{"flash", "fw.mvx", com} << "silentFromRecord=3" << 4
                                           << "read: no answer within 5 s";
        QTest::newRow("write stall") << QStringList{"eeprom", "fw.eep.mvx", com} << "stallFromRecord=3" << 4
                                     << "write: the controller took no data for 2 s";
        QTest::newRow("not back after a switch") << QStringList{"switch", "hid", com} << "switchAbsentMs=30000" << 4
                                                 << "not back in HID mode after 10 s";
        QTest::newRow("unplugged at record 3") << QStringList{"flash", "fw.mvx", com} << "unplugAtRecord=3" << 5
                                               << "read: the device is gone";
        QTest::newRow("unplugged during the switch report")
            << QStringList{"switch", "com", hid} << "unplugAtReport=1" << 5
            << "The switch command could not be sent!\nmorvax-tool: sim:controller: feature report: No such device";
        QTest::newRow("unplugged during the calibration read-back")
            << QStringList{"calibrate", hid} << "unplugAtReport=2" << 5
            << "HID calibrate failed1!\nmorvax-tool: sim:controller: read-back: .*No such device";
    }
    void commands()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, sim);
        QFETCH(int, exit);
        QFETCH(QString, text);
        const Run r = tool(args, sim);
        QCOMPARE(r.exit, exit);
        const QRegularExpression re(text, QRegularExpression::MultilineOption);
        QVERIFY2(re.match(exit == 0 ? r.out : r.err).hasMatch(), qPrintable(r.out + "|" + r.err));
    }

    // The same reports as CSV rows and as JSON report events: the values
    // each carried, and the text the log shows for it.
    void statusReportsAsData_data()
    {
        QTest::addColumn<QString>("letter");
        QTest::addColumn<QString>("sim");
        QTest::addColumn<QStringList>("values");  // each report's, as the CSV has them
        QTest::newRow("d, six values") << "d" << "" << QStringList{"1", "-2", "30", "127", "0", "-56"};
        QTest::newRow("n, lines of four") << "n" << "statusFields=4" << QStringList{"1", "-2", "30", "127", "", ""};
        QTest::newRow("n, lines of none") << "n" << "statusFields=0" << QStringList(6, QString());
    }
    void statusReportsAsData()
    {
        QFETCH(QString, letter);
        QFETCH(QString, sim);
        QFETCH(QStringList, values);
        const Run csv = tool({"status", letter, "--simulate", "--csv"}, sim);
        const Run json = tool({"status", letter, "--simulate", "--json"}, sim);
        QCOMPARE(csv.exit, 0);
        QCOMPARE(json.exit, 0);
        QCOMPARE(csv.err, QString());
        QStringList rows = csv.out.split(u'\n');
        QCOMPARE(rows.takeLast(), QString());
        QCOMPARE(rows.takeFirst(), QStringLiteral("time_utc,ms,v1,v2,v3,v4,v5,v6"));
        QList<QJsonObject> reports;
        const QList<QJsonObject> events = Events(json.out);
        for (qsizetype i = 0; i < events.size(); ++i)
            if (events[i].value("event") == QStringLiteral("report")) {
                // Each report event follows the log line it stands for.
                QCOMPARE(events[i - 1], (QJsonObject{{"event", "log"}, {"text", events[i].value("text")}}));
                reports << events[i];
            }
        QVERIFY(!rows.isEmpty());
        QCOMPARE(rows.size(), reports.size());
        // The reading begins after the command's last byte: 30 ms after each.
        const qint64 sent = (letter == "d" ? 4 : 2) * 30;
        qint64 lastMs = sent, firstMs = 0;
        QDateTime firstTime;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            QStringList cells = rows[i].split(u',');
            QCOMPARE(cells.size(), 8);
            const QDateTime time = QDateTime::fromString(cells.takeFirst(), "yyyy-MM-dd'T'HH:mm:ss.zzz'Z'");
            QVERIFY2(time.isValid(), qPrintable(rows[i]));
            const qint64 ms = cells.takeFirst().toLongLong();
            QVERIFY(ms >= lastMs);
            if (i == 0) {
                firstTime = time;
                firstMs = ms;
            }
            // Two rows are as far apart in time as in ms.
            QCOMPARE(firstTime.msecsTo(time), ms - firstMs);
            lastMs = ms;
            QCOMPARE(cells, values);
            // The text shows each value the line carried, as sign and five digits.
            const QString text = reports[i].value("text").toString();
            QString shown = "$ ";
            QJsonArray carried;
            for (const QString& v : values)
                if (!v.isEmpty()) {
                    shown += QStringLiteral("%1%2 ,")
                                 .arg(QChar(v.toInt() < 0 ? u'-' : u'+'))
                                 .arg(std::abs(v.toInt()), 5, 10, QLatin1Char('0'));
                    carried << v.toInt();
                }
            QVERIFY2(text.startsWith(shown), qPrintable(text));
            QCOMPARE(reports[i].value("values").toArray(), carried);
            QCOMPARE(reports[i].value("complete").toBool(), carried.size() == 6);
            QVERIFY(reports[i].value("ms").toInteger() >= sent);
        }
    }

    void portOfAPeer_data()
    {
        QTest::addColumn<bool>("link");  // --port names a link to the port, longer than a port name may be
        QTest::addColumn<bool>("held");  // this test holds the port open, as another program would
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("text");
        QTest::newRow("through a link") << true << false << 0 << "DownLoad Successful!";
        QTest::newRow("held elsewhere") << false << true << 3 << "busy: held by tst_cli (pid %1)";
    }
    void portOfAPeer()
    {
        QFETCH(bool, link);
        QFETCH(bool, held);
        QFETCH(int, exit);
        QFETCH(QString, text);
        PtyPeer peer(Unheld());
        QString port = peer.path();
        if (link) {
            port = m_dir.filePath(QStringLiteral("serial-by-id-usb-MORVAX-if00"));
            QVERIFY(QFile::link(peer.path(), port));
        }
        const int holder = held ? ::open(peer.path().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
        const Run r = tool({"flash", "fw.mvx", "--port", port});
        if (holder >= 0)
            ::close(holder);
        if (link)
            QFile::remove(port);
        QCOMPARE(r.exit, exit);
        QVERIFY2((exit == 0 ? r.out : r.err).contains(text.contains(u'%') ? text.arg(::getpid()) : text),
                 qPrintable(r.out + r.err));
        QCOMPARE(int(peer.records().size()), exit == 0 ? 230 : 0);
    }

    void jsonEvents_data()
    {
        QTest::addColumn<QString>("sim");
        QTest::addColumn<int>("exit");
        QTest::addColumn<int>("records");  // progress events
        QTest::addColumn<QString>("log");  // the log event before the result
        QTest::addColumn<QString>("reason");
        QTest::newRow("success") << "" << 0 << 230 << "" << "";
        QTest::newRow("unplugged at record 3")
            << "unplugAtRecord=3" << 5 << 3 << "read: the device is gone" << "read: the device is gone";
    }
    void jsonEvents()
    {
        QFETCH(QString, sim);
        QFETCH(int, exit);
        QFETCH(int, records);
        QFETCH(QString, log);
        QFETCH(QString, reason);
        const Run r = tool({"flash", "fw.mvx", "--simulate", "--json"}, sim);
        QCOMPARE(r.exit, exit);
        QCOMPARE(r.err, QString());
        const QList<QJsonObject> events = Events(r.out);
        QVERIFY2(events.size() >= records + 2, qPrintable(r.out));
        QJsonObject start = events.first();
        const QJsonObject result = events.last();
        QVERIFY(start.take("port").toString().startsWith(QStringLiteral("/dev/pts/")));
        // The image's SHA-256 as sha256sum gives it.
        QFile image(m_flash);
        QVERIFY(image.open(QIODevice::ReadOnly));
        const QString sha256 = QCryptographicHash::hash(image.readAll(), QCryptographicHash::Sha256).toHex();
        QCOMPARE(start, (QJsonObject{{"event", "start"},
                                     {"command", "flash"},
                                     {"file", m_flash},
                                     {"records", 230},
                                     {"sha256", sha256}}));
        for (int i = 1; i <= records; ++i)
            QCOMPARE(events[i], (QJsonObject{{"event", "progress"}, {"done", i}, {"total", 230}}));
        QCOMPARE(result.value("event").toString(), QStringLiteral("result"));
        QCOMPARE(result.value("ok").toBool(), exit == 0);
        QCOMPARE(result.value("exit").toInt(), exit);
        QCOMPARE(result.value("message").toString(),
                 exit == 0 ? QStringLiteral("DownLoad Successful!") : QStringLiteral("Download Failed: Return Error"));
        QVERIFY(result.value("reason").toString().contains(reason));
        if (!log.isEmpty()) {
            const QJsonObject logged = events[events.size() - 2];
            QCOMPARE(logged.value("event").toString(), QStringLiteral("log"));
            QVERIFY(logged.value("text").toString().contains(log));
        }
    }

    void signalStopsBetweenRecords_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
    }
    void signalStopsBetweenRecords()
    {
        QFETCH(int, signal);
        PtyPeer peer(Unheld(10));
        QProcess* p = Start({"flash", "fw.mvx", "--port", peer.path()}, m_dir.path());
        QElapsedTimer t;
        t.start();
        while (peer.records().size() < 20 && t.elapsed() < 10000)
            QTest::qWait(5);
        ::kill(static_cast<pid_t>(p->processId()), signal);
        const Run r = Finish(p);
        QCOMPARE(r.exit, 128 + signal);
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("cancelled at record (\\d+) of 230\n")).match(r.err);
        QVERIFY2(m.hasMatch(), qPrintable(r.err));
        const int k = m.captured(1).toInt();
        QVERIFY(k >= 20 && k < 230);
        QCOMPARE(int(peer.records().size()), k);
        // The port was closed: it opens again at once.
        QCOMPARE(tool({"status", "z", "--port", peer.path()}).exit, 0);
    }

    // A stop request ends the listen of status while the controller streams,
    // long before the time asked for: the row that tests that bound.
    void signalStopsAStatusListen()
    {
        PtyPeer peer({.answers = false, .holdPort = false});
        QProcess* p = Start({"status", "d", "--seconds", "30", "--port", peer.path()}, m_dir.path());
        QElapsedTimer t;
        t.start();
        qint64 askedAt = -1;
        // A status line every few ms, so that the line is never quiet; the
        // stop request once the tool has shown a report.
        while (p->state() != QProcess::NotRunning && t.elapsed() < 40000 &&
               (askedAt < 0 || t.elapsed() - askedAt < 10000)) {
            peer.write("$ 1 ,-2 ,30 ,127 ,0 ,200\r\n");
            QTest::qWait(10);
            if (askedAt < 0 && p->bytesAvailable() > 0) {
                ::kill(static_cast<pid_t>(p->processId()), SIGINT);
                askedAt = t.elapsed();
            }
        }
        const bool ended = p->state() == QProcess::NotRunning;
        const qint64 after = t.elapsed() - askedAt;
        const Run r = Finish(p);
        QVERIFY(askedAt >= 0);
        QVERIFY2(ended, qPrintable(QStringLiteral("still listening %1 ms after SIGINT").arg(after)));
        QCOMPARE(r.exit, 130);
        QVERIFY2(QRegularExpression(QStringLiteral("Stopped after [1-9]\\d* status reports")).match(r.err).hasMatch(),
                 qPrintable(r.err));
    }

    // The self-test end to end: its exit statuses, the verdict as the last
    // line on stdout, the usage errors found before step 1 (a pass is
    // selftestRecordsEachStep's).
    void selftestExitStatus_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("sim");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("last");  // a pattern for the last line: stdout's, else stderr's
        const QString fast = QStringLiteral("calibrationMs=1000,switchAbsentMs=100");
        QTest::newRow("fail at 1") << QStringList{} << "startPresent=0" << 3 << "SELFTEST FAIL at 1 \"found\": .*";
        QTest::newRow("fail at 3") << QStringList{} << "setFeatureError=32," + fast << 1
                                   << "SELFTEST FAIL at 3 \"switch-com\": sim:controller: feature report: Broken pipe";
        QTest::newRow("wrong image name") << QStringList{"--image", "fw.bin"} << "" << 2
                                          << "morvax-tool: .*/fw.bin";
        QTest::newRow("unreadable EEPROM image") << QStringList{"--eeprom", "gone.eep.mvx"} << "" << 2
                                                 << "morvax-tool: .*gone.eep.mvx: No such file or directory";
        QTest::newRow("JUnit file in no folder") << QStringList{"--junit", "no/such/folder/j.xml"} << "" << 2
                                                 << "morvax-tool: no/such/folder/j.xml: .*";
        QTest::newRow("bad --expect-version") << QStringList{"--expect-version", "v2"} << "" << 2
                                              << "morvax-tool: --expect-version takes up to four hex digits.*";
        QTest::newRow("--csv") << QStringList{"--csv"} << "" << 2 << "morvax-tool: --csv does not apply to selftest";
    }
    void selftestExitStatus()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, sim);
        QFETCH(int, exit);
        QFETCH(QString, last);
        const Run r = tool(QStringList{"selftest", "--simulate"} + args, sim);
        QCOMPARE(r.exit, exit);
        const QStringList lines = (exit == 2 ? r.err : r.out).split(u'\n', Qt::SkipEmptyParts);
        QVERIFY2(!lines.isEmpty() &&
                     QRegularExpression(QRegularExpression::anchoredPattern(last)).match(lines.last()).hasMatch(),
                 qPrintable(r.out + "|" + r.err));
        if (exit == 2)  // refused before step 1
            QCOMPARE(r.out, QString());
    }

    // Every step that talks to the controller is in the journal as its
    // command would be, with origin selftest; the JSON events and the JUnit
    // file of a whole run.
    void selftestRecordsEachStep()
    {
        const QString db = m_dir.filePath("selftest.db"), junit = m_dir.filePath("selftest.xml");
        const Run r = tool({"selftest", "--simulate", "--image", "fw.mvx", "--eeprom", "fw.eep.mvx", "--expect-version",
                            "213", "--json", "--junit", junit, "--history", db},
                           "calibrationMs=1000,switchAbsentMs=100");
        QCOMPARE(r.exit, 0);
        const QList<QJsonObject> events = Events(r.out);
        QCOMPARE(events.size(), 11);
        for (int k = 1; k <= 10; ++k)
            QCOMPARE(events[k - 1].value("status").toString(), QStringLiteral("PASS"));
        QVERIFY2(events.last().value("message").toString().startsWith("SELFTEST PASS 10/10 ("), qPrintable(r.out));
        QFile xml(junit);
        QVERIFY(xml.open(QIODevice::ReadOnly));
        QCOMPARE(xml.readAll().count("<testcase "), 10);

        const Run history = tool({"history", "--history", db, "--json"});
        QCOMPARE(history.exit, 0);
        QStringList commands;
        for (const QJsonObject& record : Events(history.out)) {
            if (record.value("event") != QStringLiteral("record"))
                continue;
            commands.prepend(record.value("command").toString());  // newest first
            QCOMPARE(record.value("origin").toString(), QStringLiteral("selftest"));
            QCOMPARE(record.value("result").toString(), QStringLiteral("ok"));
        }
        QCOMPARE(commands, (QStringList{"switch-hid", "switch-com", "status-n", "status-d", "status-z", "status-$",
                                        "eeprom", "flash", "switch-hid", "switch-com", "switch-hid", "calibrate"}));
    }

    void selftestStopsAtASignal()
    {
        QProcess* p = Start({"selftest", "--simulate"}, m_dir.path());
        QElapsedTimer t;
        t.start();
        QByteArray out;
        while (!out.contains(" 1 found") && t.elapsed() < 20000) {
            p->waitForReadyRead(100);
            out += p->readAllStandardOutput();
        }
        // Step 2 switches the controller to HID mode and waits 2 s after the command.
        ::kill(static_cast<pid_t>(p->processId()), SIGINT);
        Run r = Finish(p);
        r.out.prepend(QString::fromLocal8Bit(out));
        QCOMPARE(r.exit, 130);
        QVERIFY2(r.out.endsWith("SELFTEST STOPPED at 2\n"), qPrintable(r.out));
    }

    void twoDownloadsSideBySide()
    {
        PtyPeer a(Unheld(1)), b(Unheld(1));
        QElapsedTimer t;
        t.start();
        QProcess* pa = Start({"flash", "fw.mvx", "--port", a.path()}, m_dir.path());
        QProcess* pb = Start({"flash", "fw.mvx", "--port", b.path()}, m_dir.path());
        const Run ra = Finish(pa);
        const qint64 aMs = t.elapsed();
        const Run rb = Finish(pb);
        qInfo("two downloads of 230 records side by side: %lld ms and %lld ms", aMs, t.elapsed());
        QCOMPARE(ra.exit, 0);
        QCOMPARE(rb.exit, 0);
        QList<QByteArray> lines = Lines(230).split('\n');
        lines.removeLast();
        for (const PtyPeer* peer : {&a, &b}) {
            const auto records = peer->records();
            QCOMPARE(int(records.size()), 230);
            for (int i = 0; i < 230; ++i)
                QCOMPARE(records[std::size_t(i)], Record(lines[i] + '\n'));
        }
    }

    // udev-rule takes its IDs from --vid/--pid or from the settings file the
    // window reads, and refuses what would not make a sound rule.
    void udevRule_data()
    {
        QTest::addColumn<QStringList>("args");      // CONFIG: the test's Config.ini
        QTest::addColumn<QByteArray>("configIni");  // its contents; null: a FIFO
        QTest::addColumn<QString>("where");         // where Config.ini is: "arg", "here", "user", "nowhere"
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("err");  // the start of stderr
        const QByteArray good("[VID/PID]\nVID=2F5A\nPID=0107\n");
        QTest::newRow("--config FILE") << QStringList{"--config", "CONFIG"} << good << "arg" << 0 << "";
        QTest::newRow("--config=FILE") << QStringList{"--config=CONFIG"} << good << "arg" << 0 << "";
        QTest::newRow("the working directory's") << QStringList{} << good << "here" << 0 << "";
        QTest::newRow("the user's settings folder's") << QStringList{} << good << "user" << 0 << "";
        QTest::newRow("--vid and --pid, no file") << QStringList{"--vid", "2F5A", "--pid", "107"} << good << "nowhere"
                                                  << 0 << "";
        QTest::newRow("--pid over the file's") << QStringList{"--pid", "0107"}
                                               << QByteArray("[VID/PID]\nVID=2f5a\nPID=0x107\n") << "here" << 0 << "";
        QTest::newRow("no Config.ini anywhere") << QStringList{} << good << "nowhere" << 2
                                                << "morvax-tool: no Config.ini in the working directory or in ";
        QTest::newRow("refused ID") << QStringList{"--config", "CONFIG"} << QByteArray("[VID/PID]\nVID=2f5a\nPID=0x107\n")
                                    << "arg" << 2 << "morvax-tool: CONFIG: PID \"0x107\" is not four hexadecimal digits\n";
        QTest::newRow("missing file") << QStringList{"--config", "CONFIG.gone"} << good << "arg" << 2
                                      << "morvax-tool: CONFIG.gone: no such file\n";
        QTest::newRow("a FIFO is not read") << QStringList{"--config", "CONFIG"} << QByteArray() << "arg" << 2
                                            << "morvax-tool: CONFIG: not a regular file\n";
    }
    void udevRule()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, configIni);
        QFETCH(QString, where);
        QFETCH(int, exit);
        QFETCH(QString, err);
        WorkDir work;
        const QString dir = where == "user" ? work.userToolDir() : work.dir.path();
        const QString config = dir + (where == "arg" ? "/test.ini" : "/Config.ini");
        if (where != "nowhere") {
            if (configIni.isNull())
                QCOMPARE(::mkfifo(QFile::encodeName(config).constData(), 0600), 0);
            else
                QVERIFY(WriteFile(config, configIni));
        }
        args.replaceInStrings("CONFIG", config);
        err.replace("CONFIG", config);
        const Run r = Finish(Start(QStringList{"udev-rule"} + args, work.dir.path()));
        QCOMPARE(r.exit, exit);
        if (exit == 0) {
            QCOMPARE(r.err, QString());
            QVERIFY(r.out.contains("ATTRS{idVendor}==\"2f5a\", ATTRS{idProduct}==\"0107\""));
        } else {
            QCOMPARE(r.out, QString());
            QVERIFY2(r.err.startsWith(err), qPrintable(r.err));
        }
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
