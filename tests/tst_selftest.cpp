// The self-test in this process, on the simulated controller with a manual
// clock: the switch waits and the calibration take a twentieth of their
// time, while the serial line keeps its real bounds. Each step's fault ends the run at that
// step with its reason, and nothing more reaches the controller; a run
// without faults, as text and as JSON events; the JUnit file of both.
#include "TestSupport.h"
#include "cli/CommandLine.h"
#include "cli/CommandSession.h"
#include "cli/Output.h"
#include "cli/SelfTest.h"
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>
#include <cstdio>
#include <cstdlib>

namespace {
// A manual clock whose waits also pass a twentieth of their time for real:
// the simulated controller's serial side runs on a thread of its own and
// must see the switch command before the tool's 10 s wait for the return
// has run out, however busy the machine is.
class PacedClock : public ManualClock {
public:
    void sleepMs(int ms) override
    {
        QThread::usleep(static_cast<unsigned long>(std::max(ms, 0)) * 50);
        ManualClock::sleepMs(ms);
    }
};

// What Output writes to a FILE*, kept in memory.
class Captured {
public:
    Captured() : m_file(::open_memstream(&m_buffer, &m_size)) {}
    ~Captured()
    {
        std::fclose(m_file);
        std::free(m_buffer);
    }
    std::FILE* file() const { return m_file; }
    QStringList lines()
    {
        std::fflush(m_file);
        return QString::fromLocal8Bit(m_buffer, qsizetype(m_size)).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    char* m_buffer = nullptr;
    std::size_t m_size = 0;
    std::FILE* m_file;
};

// One self-test in this process, and what the controllers received: the
// serial bytes and the number of feature reports, when the first step failed
// and at the end.
struct Run {
    int exit = -1;
    std::vector<SelfTestStep> steps;
    QStringList out;
    QByteArray serial, serialAtFail;
    int reports = 0, reportsAtFail = -1;
};

Run SelfTestOn(const QString& sim, const Invocation& inv)
{
    PacedClock clock;
    FakePrompts prompts;
    std::vector<SimKnobs> knobs;
    QString error;
    if (!SimPlatform::ParseSettings(sim, SimKnobs{}, knobs, error))
        qFatal("%s", qPrintable(error));
    SimPlatform platform(clock, prompts, knobs);
    auto received = [&platform] {
        QByteArray bytes;
        for (int i = 0; i < platform.controllerCount(); ++i)
            bytes += platform.controller(i).serialLog();
        return bytes;
    };
    Captured out, err;
    Output output(inv.json, out.file(), err.file());
    CommandSession session(inv, platform.platform(), output, QStringLiteral("2f5a"), QStringLiteral("0107"));
    SelfTest test(session, inv, output);
    Run r;
    test.setStepObserver([&](const SelfTestStep& step) {
        if (step.status == SelfTestStep::Status::Fail && r.reportsAtFail < 0) {
            r.serialAtFail = received();
            r.reportsAtFail = platform.hidBus().featureReportsSent();
        }
    });
    r.exit = test.run();
    r.steps = test.steps();
    r.out = out.lines();
    r.serial = received();
    r.reports = platform.hidBus().featureReportsSent();
    return r;
}

// The test cases of a JUnit file in order: "1 found" and what it holds
// ("failure", "skipped" or "").
QList<QPair<QString, QString>> JUnitCases(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QPair<QString, QString>> cases;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("testcase"))
            cases << qMakePair(xml.attributes().value("name").toString(), QString());
        else if (xml.name() == QLatin1String("failure") || xml.name() == QLatin1String("skipped"))
            cases.last().second = xml.name().toString();
    }
    return xml.hasError() ? QList<QPair<QString, QString>>{} : cases;
}

QStringList StepNames()
{
    QStringList names;
    for (int k = 1; k <= SelfTest::STEPS; ++k)
        names << QStringLiteral("%1 %2").arg(k).arg(SelfTest::StepName(k));
    return names;
}
} // namespace

class TestSelfTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    Invocation invocation(bool images, bool json = false, const QString& expectVersion = {})
    {
        Invocation inv;
        inv.command = QStringLiteral("selftest");
        inv.json = json;
        inv.expectVersion = expectVersion;
        inv.junit = m_dir.filePath(QStringLiteral("selftest.xml"));
        QFile::remove(inv.junit);
        if (images) {
            inv.image = m_dir.filePath(QStringLiteral("fw.mvx"));
            inv.eeprom = m_dir.filePath(QStringLiteral("fw.eep.mvx"));
        }
        return inv;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(WriteFile(m_dir.filePath("fw.mvx"), Lines(230)));
        QVERIFY(WriteFile(m_dir.filePath("fw.eep.mvx"), Lines(8)));
    }

    void faultEndsTheRunAtItsStep_data()
    {
        QTest::addColumn<QString>("sim");
        QTest::addColumn<bool>("images");      // --image and --eeprom
        QTest::addColumn<QString>("expect");   // --expect-version
        QTest::addColumn<int>("step");         // the step that fails
        QTest::addColumn<QString>("reason");   // a pattern for its whole reason
        QTest::addColumn<int>("exit");         // the exit status its own command gives
        const QString port = QStringLiteral("/dev/pts/\\d+");
        QTest::newRow("1 found: none") << "startPresent=0" << false << "" << 1
                                       << "no USB serial port of a controller and no HID device with VID 2f5a and "
                                          "PID 0107"
                                       << 3;
        QTest::newRow("1 found: two") << "controllers=2" << false << "" << 1
                                      << "pick one with --port, --usb-path or --serial: " + port +
                                             " \\(usb 1-1.1, serial MVX0001\\); " + port +
                                             " \\(usb 1-1.2, serial MVX0002\\)"
                                      << 3;
        QTest::newRow("2 version: HID closed to the user")
            << "startMode=hid,hidOpenError=13" << false << "" << 2
            << "sim:controller: cannot open: Permission denied: .*" << 3;
        QTest::newRow("3 switch-com: report refused") << "setFeatureError=32" << false << "" << 3
                                                      << "sim:controller: feature report: Broken pipe" << 1;
        QTest::newRow("4 n: no status stream") << "statusStreams=0" << false << "" << 4
                                               << port + ": read: no status report within 1 s" << 4;
        QTest::newRow("4 n: lines of five values")
            << "statusFields=5" << false << "" << 4
            << port + ": (\\d+) of \\1 status reports without six values; report 1 carried 5 of 6 values "
                      "\\(1, -2, 30, 127, 0\\)"
            << 1;
        QTest::newRow("5 d: one stream in all") << "statusStreams=1" << false << "" << 5
                                                << port + ": read: no status report within 1 s" << 4;
        QTest::newRow("6 z-dollar: hangs on z") << "stallOn=z" << false << "" << 6
                                                << port + ": write: the controller took no data for 2 s" << 4;
        QTest::newRow("7 eeprom: record 3 refused") << "wrongAnswerAtRecord=3" << true << "" << 7
                                                    << "Record 3 was refused.*" << 1;
        // The simulated controller counts records from its last command
        // byte on: the EEPROM's 8, then the flash's.
        QTest::newRow("8 flash: record 92 refused") << "wrongAnswerAtRecord=100" << true << "" << 8
                                                    << "Record 92 was refused.*" << 1;
        QTest::newRow("8 flash: another version") << "" << true << "214" << 8
                                                  << "version 0x213 after the flash, not 0x214 \\(--expect-version\\)"
                                                  << 1;
        QTest::newRow("9 switch-hid: not back") << "lostAtSwitch=3" << false << "" << 9
                                                << "The controller is not back in HID mode after 10 s" << 4;
        QTest::newRow("10 calibrate: wrong answer") << "calibrationResult=1" << false << "" << 10
                                                    << "the controller answered 02 01.*" << 1;
    }
    void faultEndsTheRunAtItsStep()
    {
        QFETCH(QString, sim);
        QFETCH(bool, images);
        QFETCH(QString, expect);
        QFETCH(int, step);
        QFETCH(QString, reason);
        QFETCH(int, exit);
        Invocation inv = invocation(images);
        if (!expect.isEmpty())
            inv.expectVersion = QStringLiteral("0x") + expect;
        const Run r = SelfTestOn(sim, inv);
        QCOMPARE(r.exit, step == 1 ? 3 : 1);
        QCOMPARE(int(r.steps.size()), SelfTest::STEPS);
        const QRegularExpression whole(QRegularExpression::anchoredPattern(reason));
        for (const SelfTestStep& s : r.steps) {
            const bool skippedImage = !images && (s.number == 7 || s.number == 8);
            if (s.number < step)
                QVERIFY2(s.statusText() == (skippedImage ? QStringLiteral("SKIP") : QStringLiteral("PASS")),
                         qPrintable(QStringLiteral("%1 %2: %3").arg(s.number).arg(s.statusText(), s.reason)));
            if (s.number > step) {
                QCOMPARE(s.statusText(), QStringLiteral("SKIP"));
                QCOMPARE(s.reason, QStringLiteral("after the failure at step %1").arg(step));
            }
        }
        const SelfTestStep& failed = r.steps[std::size_t(step - 1)];
        QCOMPARE(failed.statusText(), QStringLiteral("FAIL"));
        QVERIFY2(whole.match(failed.reason).hasMatch(), qPrintable(failed.reason));
        QCOMPARE(failed.exit, exit);
        // Nothing reached the controller after the failure.
        QCOMPARE(r.serial, r.serialAtFail);
        QCOMPARE(r.reports, r.reportsAtFail);
        QCOMPARE(r.out.last(), QStringLiteral("SELFTEST FAIL at %1 \"%2\": %3").arg(step).arg(failed.name, failed.reason));
        // The JUnit file: every step in order, the failure at its step.
        const auto cases = JUnitCases(inv.junit);
        QStringList names, held;
        for (const auto& [name, element] : cases) {
            names << name;
            held << element;
        }
        QCOMPARE(names, StepNames());
        QCOMPARE(held.indexOf(QStringLiteral("failure")), step - 1);
        QCOMPARE(held.lastIndexOf(QStringLiteral("failure")), step - 1);
        QCOMPARE(held.mid(step), QStringList(SelfTest::STEPS - step, QStringLiteral("skipped")));
    }

    void wholeSequencePasses_data()
    {
        QTest::addColumn<bool>("json");
        QTest::addColumn<bool>("images");
        QTest::newRow("text, both images") << false << true;
        QTest::newRow("JSON, no image") << true << false;
    }
    void wholeSequencePasses()
    {
        QFETCH(bool, json);
        QFETCH(bool, images);
        const Invocation inv = invocation(images, json, QStringLiteral("0x213"));
        const Run r = SelfTestOn(QString(), inv);
        QCOMPARE(r.exit, 0);
        const int ran = images ? 10 : 8;
        const QRegularExpression verdict(
            QStringLiteral("^SELFTEST PASS %1/%1 \\(\\d+\\.\\d s\\) /dev/pts/\\d+ serial MVX0001$").arg(ran));
        // What the controller received, in order: the switch to HID mode,
        // "n", "d", "z" and "$", the records, the switch to HID mode again
        // (after a switch to COM mode over HID with a flash, which leaves
        // the simulated controller in COM mode: switched to HID mode for its
        // version); and over HID the switches to COM mode and the calibration.
        const QByteArray commands = QByteArray("&nnnnddnnzz$");
        const int records = images ? 8 + 230 : 0;
        QCOMPARE(r.serial.size(), commands.size() + records * 287 + (images ? 2 : 1));
        QVERIFY(r.serial.startsWith(commands));
        QVERIFY(r.serial.endsWith(images ? "&&" : "&"));
        QCOMPARE(r.reports, images ? 3 : 2);

        QJsonObject values[SelfTest::STEPS];
        if (!json) {
            QCOMPARE(r.out.size(), SelfTest::STEPS + 1);
            QVERIFY2(verdict.match(r.out.last()).hasMatch(), qPrintable(r.out.last()));
            for (int k = 1; k <= SelfTest::STEPS; ++k) {
                const bool skipped = !images && (k == 7 || k == 8);
                const QString begins = QStringLiteral("%1 %2 %3")
                                           .arg(k, 2)
                                           .arg(SelfTest::StepName(k).leftJustified(11), skipped ? "SKIP" : "PASS");
                QVERIFY2(r.out[k - 1].startsWith(begins), qPrintable(r.out[k - 1]));
                for (const auto& [key, value] : r.steps[std::size_t(k - 1)].values)
                    values[k - 1].insert(key, value);
            }
        } else {
            QCOMPARE(r.out.size(), SelfTest::STEPS + 1);
            for (int k = 1; k <= SelfTest::STEPS; ++k) {
                const QJsonObject event = QJsonDocument::fromJson(r.out[k - 1].toUtf8()).object();
                const bool skipped = !images && (k == 7 || k == 8);
                QCOMPARE(event.value("event").toString(), QStringLiteral("step"));
                QCOMPARE(event.value("step").toInt(), k);
                QCOMPARE(event.value("name").toString(), SelfTest::StepName(k));
                QCOMPARE(event.value("status").toString(), skipped ? QStringLiteral("SKIP") : QStringLiteral("PASS"));
                QCOMPARE(event.value("exit").toInt(-1), 0);
                QVERIFY(event.value("seconds").isDouble());
                values[k - 1] = event.value("values").toObject();
            }
            const QJsonObject result = QJsonDocument::fromJson(r.out.last().toUtf8()).object();
            QCOMPARE(result.value("event").toString(), QStringLiteral("result"));
            QCOMPARE(result.value("exit").toInt(-1), 0);
            QVERIFY2(verdict.match(result.value("message").toString()).hasMatch(), qPrintable(r.out.last()));
        }
        // What the steps measured.
        QCOMPARE(values[0].value("mode").toString(), QStringLiteral("com"));
        QCOMPARE(values[1].value("version").toString(), QStringLiteral("0x213"));
        QVERIFY(values[2].value("backSeconds").toDouble() >= 2.0);  // the tool looks 2 s after the command
        QVERIFY(values[3].value("reports").toInt() > 0);
        QVERIFY(values[4].value("reports").toInt() > 0);
        QCOMPARE(values[7].value("version").toString(), images ? QStringLiteral("0x213") : QString());
        QCOMPARE(values[8].value("viaCom").toBool(), images);

        QStringList names, held;
        for (const auto& [name, element] : JUnitCases(inv.junit)) {
            names << name;
            held << element;
        }
        QCOMPARE(names, StepNames());
        QCOMPARE(held.count(QStringLiteral("failure")), 0);
        QCOMPARE(held.count(QStringLiteral("skipped")), images ? 0 : 2);
    }
};

QTEST_GUILESS_MAIN(TestSelfTest)
#include "tst_selftest.moc"
