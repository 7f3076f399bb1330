// The station: many simulated controllers at once with faults on some, the
// watch for units plugged in, and the fixture's slots in Config.ini.
#include "TestSupport.h"
#include "cli/Output.h"
#include "cli/Station.h"
#include "journal/Journal.h"
#include "journal/SqliteStore.h"
#include "platform/EventLoopClock.h"
#include "settings/SlotMap.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <cstdio>

namespace {
// A station on simulated controllers, its JSON output caught, its journal
// in a file of its own.
struct Bench {
    EventLoopClock clock;
    FakePrompts prompts;
    SimPlatform sim;
    QTemporaryDir dir;
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    std::unique_ptr<Output> output = std::make_unique<Output>(true, out, stderr);
    std::unique_ptr<Journal> journal;
    std::atomic<int> stopStatus{0};
    StationTask task;

    explicit Bench(const std::vector<SimKnobs>& controllers, const QByteArray& image = Lines(227))
        : sim(clock, prompts, controllers)
    {
        WriteFile(dir.filePath("fw.mvx"), image);
        task = {ImageFile::Kind::Flash, "flash", dir.filePath("fw.mvx"), {}, {}, "2f5a", "0107"};
        const QString store = dir.filePath("history.db");
        journal = std::make_unique<Journal>([store] { return std::make_unique<SqliteStore>(store); },
                                            Journal::Identity{"S", "h", "op", "1", "command", true});
    }
    ~Bench()
    {
        std::fclose(out);
        std::free(text);
    }
    Station station(const SlotMap& slotMap = {})
    {
        Platform p = sim.platform();
        return Station(p, *output, task, slotMap, journal.get(), [this] { return stopStatus.load(); },
                       "morvax-tool flash fw.mvx");
    }
    // The events printed so far.
    QList<QJsonObject> events()
    {
        std::fflush(out);
        QList<QJsonObject> list;
        for (const QByteArray& line : QByteArray(text, qsizetype(size)).split('\n'))
            if (!line.isEmpty())
                list << QJsonDocument::fromJson(line).object();
        return list;
    }
    QList<QJsonObject> events(const QString& name)
    {
        QList<QJsonObject> list;
        for (const QJsonObject& e : events())
            if (e["event"].toString() == name)
                list << e;
        return list;
    }
    std::vector<JournalRecord> records()
    {
        journal->drain(10000);
        SqliteStore store(dir.filePath("history.db"));
        std::vector<JournalRecord> out;
        store.open(false);
        store.query({}, out);
        return out;
    }
};

// The records an image of n lines sends, as the controller receives them.
std::vector<QByteArray> Sent(const QByteArray& image)
{
    std::vector<QByteArray> out;
    for (QByteArray line : image.split('\n')) {
        if (line.isEmpty())
            continue;
        line += '\n';
        out.push_back(line + QByteArray(287 - line.size(), '\0'));
    }
    return out;
}
} // namespace

class TestStation : public QObject {
    Q_OBJECT
private slots:
    // Eight controllers at once, faults on some: the others finish byte for
    // byte, each failure carries its own reason and status, and the summary,
    // the command that runs the failed ones again and the exit status say
    // so; the journal holds one record per slot, with its slot.
    void allWithFaults()
    {
        std::vector<SimKnobs> knobs = SimPlatform::Controllers({.switchAbsentMs = 200}, 8);
        knobs[2].wrongAnswerAtRecord = 10;
        knobs[4].unplugAtRecord = 100;
        knobs[5].startMode = SimKnobs::Mode::Hid;  // switched to COM first
        knobs[6].stallFromRecord = 5;
        Bench b(knobs);
        Station station = b.station();
        QString why;
        QVERIFY(station.choose({}, why));
        QCOMPARE(station.run(), 6);

        QMap<QString, QJsonObject> results;
        for (const QJsonObject& r : b.events("slotResult"))
            results[r["slot"].toString()] = r;
        QCOMPARE(results.size(), 8);
        const QMap<QString, QPair<int, QString>> failures{
            {"1-1.3", {1, "Record 10 was refused."}},
            {"1-1.5", {5, "read: the device is gone"}},
            {"1-1.7", {4, "write: the controller took no data for 2 s"}}};
        for (int i = 0; i < 8; ++i) {
            const QString slot = QStringLiteral("1-1.%1").arg(i + 1);
            const QJsonObject r = results[slot];
            QCOMPARE(r["serial"].toString(), QString::fromStdString(knobs[std::size_t(i)].serialNumber));
            QCOMPARE(r["ok"].toBool(), !failures.contains(slot));
            if (failures.contains(slot)) {
                QCOMPARE(r["exit"].toInt(), failures[slot].first);
                QVERIFY2(r["reason"].toString().contains(failures[slot].second), qPrintable(r["reason"].toString()));
            } else {
                QCOMPARE(b.sim.controller(i).records(), Sent(Lines(227)));
            }
        }
        // Every event of a slot carries it and its port.
        for (const QJsonObject& e : b.events())
            if (e["event"] != "summary" && e["event"] != "result")
                QVERIFY(e.contains("slot") && e.contains("port"));
        const QJsonObject summary = b.events("summary").first();
        QCOMPARE(summary["passed"].toArray().size(), 5);
        QCOMPARE(summary["failed"].toArray().size(), 3);
        const QJsonObject result = b.events().last();
        QCOMPARE(result["event"].toString(), QStringLiteral("result"));
        QCOMPARE(result["exit"].toInt(), 6);
        QCOMPARE(result["rerun"].toString(), QStringLiteral("morvax-tool flash fw.mvx --slots 1-1.3,1-1.5,1-1.7"));
        const std::vector<JournalRecord> records = b.records();
        QCOMPARE(int(records.size()), 8);
        QStringList slotsRecorded;
        for (const JournalRecord& r : records)
            slotsRecorded << r.slot;
        slotsRecorded.sort();
        QCOMPARE(slotsRecorded.first(), QStringLiteral("1-1.1"));
        QCOMPARE(slotsRecorded.last(), QStringLiteral("1-1.8"));
    }

    // Named slots: only those, one with nothing attached fails so; a name
    // [Slots] does not hold is refused before anything is sent; with none
    // attached at all the status is 3.
    void namedSlots()
    {
        Bench b(SimPlatform::Controllers({}, 3));
        SlotMap map;
        QString why;
        QVERIFY(map.parse("[Slots]\nA1=1-1.1\nA2=1-1.2\nA9=2-4\n", why));
        Station station = b.station(map);
        QVERIFY(!station.choose({"A1", "B7"}, why));
        QCOMPARE(why, QStringLiteral("no slot B7 in [Slots]"));
        QVERIFY(station.choose({"A2", "A9"}, why));
        QCOMPARE(station.run(), 6);
        QMap<QString, QJsonObject> results;
        for (const QJsonObject& r : b.events("slotResult"))
            results[r["slot"].toString()] = r;
        QCOMPARE(results.keys(), (QStringList{"A2", "A9"}));
        QCOMPARE(results["A9"]["reason"].toString(), QStringLiteral("nothing attached"));
        QCOMPARE(results["A9"]["exit"].toInt(), 3);
        QVERIFY(b.sim.controller(0).records().empty());  // A1 was not asked for

        Bench none(SimPlatform::Controllers({.startPresent = false}, 1));
        Station empty = none.station(map);
        QVERIFY(empty.choose({"A1"}, why));
        QCOMPARE(empty.run(), 3);
    }

    // Plugged in and out: a unit is flashed once (its own mode switches
    // start no second download), a new unit in the slot is flashed, one
    // pulled out mid-download fails with its reason and the slot takes the
    // next; a stop ends the watch with a summary of every unit.
    void watchFlashesEachUnitOnce()
    {
        std::vector<SimKnobs> knobs = SimPlatform::Controllers({.startMode = SimKnobs::Mode::Hid, .switchAbsentMs = 150}, 1);
        Bench b(knobs);
        SimController& unit = b.sim.controller();
        Station station = b.station();
        auto finished = [&] { return b.events("slotResult").size(); };
        QTimer script;
        int step = 0;
        qint64 since = 0;
        QElapsedTimer t;
        t.start();
        // The next unit: away over a second, then plugged in as serial.
        auto next = [&](const char* serial, int unplugAt) {
            unit.unplug();
            unit.knobs().serialNumber = serial;
            unit.knobs().startMode = SimKnobs::Mode::Com;
            unit.knobs().unplugAtRecord = unplugAt;
            since = t.elapsed();
        };
        QObject::connect(&script, &QTimer::timeout, [&] {
            switch (step) {
            case 0:  // the first unit, switched to COM and flashed
                if (finished() == 1) {
                    since = t.elapsed();
                    ++step;
                }
                break;
            case 1:  // once: its mode switch and the time after start nothing
                if (t.elapsed() - since > 1500) {
                    next("MVX0042", -1);
                    ++step;
                }
                break;
            case 3:  // the second, flashed; then out and in again within a second
                if (finished() == 2) {
                    unit.unplug();
                    since = t.elapsed();
                    ++step;
                }
                break;
            case 4:
                if (t.elapsed() - since > 300) {
                    unit.plugIn();
                    since = t.elapsed();
                    ++step;
                }
                break;
            case 5:  // that was the same unit: nothing done
                if (t.elapsed() - since > 1500) {
                    next("MVX0043", 50);
                    ++step;
                }
                break;
            case 7:  // the third pulled out mid-download: the slot takes the next
                if (finished() == 3) {
                    next("MVX0044", -1);
                    ++step;
                }
                break;
            case 2:
            case 6:
            case 8:
                if (t.elapsed() - since > 1300) {
                    unit.plugIn();
                    ++step;
                }
                break;
            case 9:
                if (finished() == 4)
                    b.stopStatus = 130;
                break;
            }
            if (t.elapsed() > 40000)
                b.stopStatus = 130;
        });
        script.start(20);
        QCOMPARE(station.watch(), 130);
        const QList<QJsonObject> results = b.events("slotResult");
        QStringList seen;
        for (const QJsonObject& r : results)
            seen << r["serial"].toString() + (r["ok"].toBool() ? " ok" : " " + r["reason"].toString());
        QVERIFY2(results.size() == 4, qPrintable(seen.join('|')));
        QCOMPARE(seen[0], QStringLiteral("MVX0001 ok"));
        QCOMPARE(seen[1], QStringLiteral("MVX0042 ok"));
        QVERIFY2(seen[2].startsWith("MVX0043 ") && seen[2].contains("gone"), qPrintable(seen.join('|')));
        QCOMPARE(seen[3], QStringLiteral("MVX0044 ok"));
        const QJsonObject summary = b.events("summary").first();
        QCOMPARE(summary["passed"].toArray().size() + summary["failed"].toArray().size(), 4);
    }

    // For people, each slot's progress shows every tenth of its records once,
    // in order, up to all of them, though its thread posts no event a record.
    void progressForPeople()
    {
        Bench b(SimPlatform::Controllers({}, 2));
        char* text = nullptr;
        std::size_t size = 0;
        std::FILE* said = open_memstream(&text, &size);
        b.output = std::make_unique<Output>(false, said, said);
        Station station = b.station();
        QString why;
        QVERIFY(station.choose({}, why));
        QCOMPARE(station.run(), 0);
        std::fflush(said);
        const QStringList lines = QString::fromLocal8Bit(text, qsizetype(size)).split(u'\n');
        std::fclose(said);
        std::free(text);
        for (const QString slot : {"1-1.1", "1-1.2"}) {
            QList<int> tenths, counts;
            const QRegularExpression progress(QStringLiteral("^%1: (\\d+)/227 records \\((\\d+) %\\)$")
                                                  .arg(QRegularExpression::escape(slot)));
            for (const QString& line : lines)
                if (const auto m = progress.match(line); m.hasMatch())
                    counts << m.captured(1).toInt(), tenths << m.captured(2).toInt();
            QCOMPARE(tenths, (QList<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
            QVERIFY(std::is_sorted(counts.begin(), counts.end()));
            QCOMPARE(counts.last(), 227);
        }
    }

    // [Slots] lines the station refuses, by their number.
    void slotLines_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("error");  // empty: accepted
        QTest::newRow("two slots") << QByteArray("[Slots]\nA1=1-1.1\n; a comment\nA2 = 1-1.2\n") << "";
        QTest::newRow("a bad name") << QByteArray("[VID/PID]\nVID=2f5a\n[Slots]\nA1=1-1.1\nA 2=1-1.2\n")
                                    << "line 5: [Slots]: 'A 2' is no slot name (letters, digits, - and _)";
        QTest::newRow("no USB path") << QByteArray("[Slots]\nA1=\n") << "line 2: [Slots]: slot A1 names no USB path";
        QTest::newRow("one name twice") << QByteArray("[Slots]\nA1=1-1.1\na1=1-1.2\n")
                                        << "line 3: [Slots]: slot A1 is named twice";
        QTest::newRow("one USB path twice") << QByteArray("[Slots]\nA1=1-1.1\nA2=1-1.1\n")
                                            << "line 3: [Slots]: slots A1 and A2 name one USB path, 1-1.1";
    }
    void slotLines()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, error);
        SlotMap map;
        QString why;
        QCOMPARE(map.parse(ini, why), error.isEmpty());
        QCOMPARE(why, error);
        if (error.isEmpty())
            QCOMPARE(map.slotAt("1-1.2"), QStringLiteral("A2"));
    }
};

QTEST_GUILESS_MAIN(TestStation)
#include "tst_station.moc"
