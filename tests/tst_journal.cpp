// The journal of operations: its store (seals, schema versions, a damaged or
// busy file, abandoned records), and what the window and the commands record.
#include "TestSupport.h"
#include "ToolProcess.h"
#include "journal/Journal.h"
#include "journal/JournalOpen.h"
#include "journal/SqliteStore.h"
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
// Raw SQL on a store's file, as someone with the file in hand would run it.
bool Sql(const QString& path, const QStringList& statements)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        db.setDatabaseName(path);
        ok = db.open();
        for (const QString& s : statements)
            ok = ok && QSqlQuery(db).exec(s);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    return ok;
}

// A completed record of station, written and sealed through the store.
JournalRecord Completed(SqliteStore& store, const QString& station, const QString& message = QStringLiteral("ok"))
{
    JournalRecord r;
    r.uuid = JournalRecord::NewUuid();
    r.startedMs = 1'765'000'000'000;
    r.station = station;
    r.host = QStringLiteral("bench");
    r.command = QStringLiteral("flash");
    store.insert(r);
    r.result = QStringLiteral("ok");
    r.exit = 0;
    r.message = message;
    store.complete(r);
    return r;
}

// The records history prints as JSON, newest first.
QList<QJsonObject> History(const QString& store, const QStringList& more = {})
{
    const ToolRun t = RunTool(QStringList{"history", "--json", "--history", store} + more);
    QList<QJsonObject> records;
    for (const QString& line : t.out.split(u'\n', Qt::SkipEmptyParts)) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        if (o.value("event").toString() == QLatin1String("record"))
            records << o;
    }
    return records;
}
} // namespace

class TestJournal : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    // The seals show an edited record, a deleted one and one put in, but the
    // newest of a station can go unseen: a seal, not a signature.
    void sealsShowTampering_data()
    {
        QTest::addColumn<QString>("sql");  // %1: the uuid of station A's second record
        QTest::addColumn<bool>("seen");
        QTest::newRow("untouched") << "" << false;
        QTest::newRow("a message edited") << "UPDATE morvax_journal SET message = 'fine' WHERE uuid = '%1'" << true;
        QTest::newRow("a record deleted") << "DELETE FROM morvax_journal WHERE uuid = '%1'" << true;
        QTest::newRow("a record put in") << "INSERT INTO morvax_journal (uuid, started, station, host, process_id, "
                                            "result, simulated) VALUES ('x', 1, 'A', 'h', 1, 'ok', 0)"
                                         << true;
        QTest::newRow("a record put after the newest, with a guessed seal")
            << "INSERT INTO morvax_journal (uuid, started, station, host, process_id, result, simulated, seq, "
               "prev_link, link) SELECT 'y', 1, 'A', 'h', 1, 'ok', 0, 4, link, '" + QString(64, u'0') +
                   "' FROM morvax_journal WHERE station = 'A' AND seq = 3"
            << true;
        QTest::newRow("the newest deleted") << "DELETE FROM morvax_journal WHERE station = 'A' AND seq = 3" << false;
    }
    void sealsShowTampering()
    {
        QFETCH(QString, sql);
        QFETCH(bool, seen);
        const QString file = path(QStringLiteral("seal-%1.db").arg(QTest::currentDataTag()));
        QString second;
        {
            SqliteStore store(file);
            QVERIFY(store.open(true));
            Completed(store, "A");
            second = Completed(store, "A").uuid;
            Completed(store, "B");
            Completed(store, "A");
        }
        if (!sql.isEmpty())
            QVERIFY(Sql(file, {sql.contains("%1") ? sql.arg(second) : sql}));
        SqliteStore store(file);
        QVERIFY(store.open(false));
        VerifyResult v;
        QVERIFY(store.verify(v));
        QCOMPARE(!v.ok, seen);
        // Through the command: exit 1 naming the record, or the count.
        const ToolRun t = RunTool({"history", "verify", "--history", file});
        QCOMPARE(t.exit, seen ? 1 : 0);
        if (seen)
            QVERIFY2(t.err.contains(v.brokenUuid), qPrintable(t.err));
    }

    // A newer tool takes a store of the first schema with every record.
    void firstSchemaMigrated()
    {
        const QString file = path("v1.db");
        QStringList v1 = {
            "CREATE TABLE morvax_journal (id INTEGER PRIMARY KEY AUTOINCREMENT, uuid TEXT NOT NULL UNIQUE, "
            "started BIGINT NOT NULL, finished BIGINT, duration_ms BIGINT, station TEXT NOT NULL, host TEXT NOT NULL, "
            "process_id BIGINT NOT NULL, operator TEXT, tool_version TEXT, origin TEXT, command TEXT, slot TEXT, "
            "port TEXT, usb_path TEXT, serial TEXT, vid TEXT, pid TEXT, version TEXT, image TEXT, image_size BIGINT, "
            "image_sha256 TEXT, records INTEGER, accepted INTEGER, result TEXT NOT NULL, exit_status INTEGER, "
            "message TEXT, reason TEXT, simulated INTEGER NOT NULL, seq BIGINT, prev_link TEXT, link TEXT)",
            "CREATE UNIQUE INDEX morvax_journal_seal ON morvax_journal (station, seq)",
            "PRAGMA user_version = 1"};
        // Two sealed records, as the first schema's tool wrote them.
        JournalRecord a, b;
        for (JournalRecord* r : {&a, &b}) {
            r->uuid = JournalRecord::NewUuid();
            r->station = "S";
            r->host = "h";
            r->result = "ok";
            r->seq = r == &a ? 1 : 2;
            r->prevLink = r == &a ? QString() : a.link;
            r->link = r->computeLink();
            v1 << QStringLiteral("INSERT INTO morvax_journal (uuid, started, station, host, process_id, result, "
                                 "simulated, seq, prev_link, link) VALUES ('%1', 0, 'S', 'h', 0, 'ok', 0, %2, '%3', '%4')")
                      .arg(r->uuid)
                      .arg(*r->seq)
                      .arg(r->prevLink, r->link);
        }
        QVERIFY(Sql(file, v1));
        SqliteStore store(file);
        QVERIFY2(store.open(true), qPrintable(store.problem()));
        std::vector<JournalRecord> kept;
        QVERIFY(store.query({}, kept));
        QCOMPARE(int(kept.size()), 2);
        VerifyResult v;
        QVERIFY(store.verify(v) && v.ok);
        QCOMPARE(v.checked, 2);
        QVERIFY(Completed(store, "S").seq == 3);  // and it goes on writing
    }

    // What a store cannot take is said once; the operations go on.
    void storesThatCannotBeWritten_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("told");
        QTest::newRow("newer schema") << "newer" << "newer schema (version 99)";
        QTest::newRow("a folder that cannot be made") << "unmakeable" << "cannot make the folder";
        QTest::newRow("damaged: moved aside, a new one started") << "damaged" << "was damaged; it was moved aside";
    }
    void storesThatCannotBeWritten()
    {
        QFETCH(QString, setup);
        QFETCH(QString, told);
        QString file = path(setup + ".db");
        if (setup == "newer")
            QVERIFY(Sql(file, {"PRAGMA user_version = 99"}));
        if (setup == "unmakeable") {
            QVERIFY(WriteFile(path("plain"), "x"));
            file = path("plain/history.db");
        }
        if (setup == "damaged")
            QVERIFY(WriteFile(file, QByteArray(8192, 'x')));
        Journal journal([&] { return std::make_unique<SqliteStore>(file); }, {"S", "h", "op", "1", "command", false});
        QSignalSpy problems(&journal, &Journal::problem);
        for (int i = 0; i < 2; ++i) {
            JournalRecord r = journal.record("flash");
            journal.begin(r);
            r.result = "ok";
            journal.finish(r);
        }
        QVERIFY(journal.drain(10000));
        QTRY_COMPARE(problems.count(), 1);
        QVERIFY2(problems.first().first().toString().contains(told), qPrintable(problems.first().first().toString()));
        if (setup == "newer") {  // left as it was: no table made
            QVERIFY(!Sql(file, {"SELECT * FROM morvax_journal"}));
        }
        if (setup == "damaged") {
            const QStringList aside = QDir(m_dir.path()).entryList({"damaged.db.damaged-*"});
            QCOMPARE(aside.size(), 1);
            QFile f(m_dir.filePath(aside.first()));
            QVERIFY(f.open(QIODevice::ReadOnly) && f.readAll() == QByteArray(8192, 'x'));
            SqliteStore store(file);
            std::vector<JournalRecord> kept;
            QVERIFY(store.open(false) && store.query({}, kept));
            QCOMPARE(int(kept.size()), 2);
        }
    }

    // A store another process is writing is waited for, not taken as
    // damaged.
    void busyStoreWaitedFor()
    {
        const QString file = path("busy.db");
        {
            SqliteStore store(file);
            QVERIFY(store.open(true));
        }
        std::thread holder([&] {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "holder");
            db.setDatabaseName(file);
            db.open();
            QSqlQuery(db).exec("BEGIN IMMEDIATE");
            std::this_thread::sleep_for(std::chrono::milliseconds(600));
            QSqlQuery(db).exec("COMMIT");
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase("holder");
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Journal journal([&] { return std::make_unique<SqliteStore>(file); }, {"S", "h", "op", "1", "command", false});
        QSignalSpy problems(&journal, &Journal::problem);
        JournalRecord r = journal.record("eeprom");
        journal.begin(r);
        r.result = "ok";
        journal.finish(r);
        QVERIFY(journal.drain(10000));
        holder.join();
        QCoreApplication::processEvents();
        QCOMPARE(problems.count(), 0);
        SqliteStore store(file);
        std::vector<JournalRecord> kept;
        QVERIFY(store.open(false) && store.query({}, kept));
        QCOMPARE(int(kept.size()), 1);
        QCOMPARE(kept.front().result, QStringLiteral("ok"));
    }

    // Every field of a record, from each command, as history gives it.
    void commandsRecordEveryField_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("serialSide");
        QTest::addColumn<bool>("image");
        QTest::addColumn<QString>("message");
        QTest::newRow("flash") << QStringList{"flash", "fw.mvx", "--simulate"} << "flash" << true << true
                               << "DownLoad Successful!";
        QTest::newRow("eeprom") << QStringList{"eeprom", "fw.eep.mvx", "--simulate"} << "eeprom" << true << true
                                << "DownLoad Successful!";
        QTest::newRow("status d") << QStringList{"status", "d", "--simulate"} << "status-d" << true << false << "";
        QTest::newRow("switch hid") << QStringList{"switch", "hid", "--simulate"} << "switch-hid" << true << false
                                    << "In HID mode at sim:controller, version 0x213";
        QTest::newRow("switch com") << QStringList{"switch", "com", "--simulate=hid"} << "switch-com" << false
                                    << false << "In COM mode at ";
        QTest::newRow("calibrate") << QStringList{"calibrate", "--simulate=hid"} << "calibrate" << false << false
                                   << "HID calibrate successfully!";
    }
    void commandsRecordEveryField()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, command);
        QFETCH(bool, serialSide);
        QFETCH(bool, image);
        QFETCH(QString, message);
        WorkDir work;
        const QString store = work.dir.filePath("history.db");
        const QByteArray bytes = Lines(command == "eeprom" ? 8 : 230);
        QVERIFY(WriteFile(work.dir.filePath(args.value(1)), bytes));
        if (image)
            args[1] = work.dir.filePath(args[1]);
        const ToolRun t = RunTool(args + QStringList{"--history", store, "--station", "S7", "--operator", "ann"},
                               "switchAbsentMs=200,calibrationMs=1100");
        QCOMPARE(t.exit, 0);
        const QList<QJsonObject> records = History(store);
        QCOMPARE(records.size(), 1);
        const QJsonObject r = records.first();
        QCOMPARE(r.keys().size(), int(JournalRecord::Fields().size()) + 1);  // and "event"
        QCOMPARE(r["id"].toInt(), 1);
        QCOMPARE(QUuid::fromString(r["uuid"].toString()).isNull(), false);
        std::int64_t started = 0, finished = 0;
        QVERIFY(JournalRecord::ParseTime(r["started"].toString(), started));
        QVERIFY(JournalRecord::ParseTime(r["finished"].toString(), finished));
        QVERIFY(finished >= started && r["durationMs"].toInteger() >= 0);
        QCOMPARE(r["station"].toString(), QStringLiteral("S7"));
        QCOMPARE(r["operator"].toString(), QStringLiteral("ann"));
        QCOMPARE(r["host"].toString(), QSysInfo::machineHostName());
        QVERIFY(r["processId"].toInteger() > 0);
        QCOMPARE(r["toolVersion"].toString(), QStringLiteral(PROJECT_VERSION));
        QCOMPARE(r["origin"].toString(), QStringLiteral("command"));
        QCOMPARE(r["command"].toString(), command);
        QVERIFY(r["slot"].isNull());
        QCOMPARE(r["port"].toString().startsWith("/dev/pts/"), serialSide || command == "switch-com");
        QCOMPARE(r["usbPath"].toString(), QStringLiteral("1-1"));
        QCOMPARE(r["serial"].toString(), QStringLiteral("MVX0001"));
        QCOMPARE(r["vid"].toString(), QStringLiteral("2f5a"));
        QCOMPARE(r["pid"].toString(), QStringLiteral("0107"));
        QCOMPARE(r["version"].toString(), serialSide && command != "switch-hid" ? QString() : QStringLiteral("0x213"));
        QCOMPARE(r["image"].toString(), image ? args[1] : QString());
        QCOMPARE(r["imageSize"].toInteger(-1), image ? bytes.size() : -1);
        QCOMPARE(r["imageSha256"].toString(),
                 image ? QString(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()) : QString());
        QCOMPARE(r["records"].toInt(-1), image ? (command == "eeprom" ? 8 : 230) : -1);
        QCOMPARE(r["accepted"].toInt(-1), image ? (command == "eeprom" ? 8 : 230) : -1);
        QCOMPARE(r["result"].toString(), QStringLiteral("ok"));
        QCOMPARE(r["exit"].toInt(-1), 0);
        if (message.isEmpty())
            QVERIFY(r["message"].isNull());
        else
            QVERIFY2(r["message"].toString().startsWith(message), qPrintable(r["message"].toString()));
        QVERIFY(r["reason"].isNull());
        QCOMPARE(r["simulated"].toBool(), true);
    }

    // Refused before anything was sent: recorded with why; a refusal for the
    // wrong mode addresses no controller and leaves nothing.
    void refusalsRecorded_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("reason");  // empty: no record
        QTest::newRow("image name") << QStringList{"flash", "fw.bin", "--simulate"} << 2 << "fw.bin";
        QTest::newRow("another SHA-256")
            << QStringList{"flash", "fw.mvx", "--simulate", "--sha256", QString(64, u'0')} << 2
            << "fw.mvx: SHA-256 ";
        QTest::newRow("a port that cannot be opened") << QStringList{"flash", "fw.mvx", "--port", "/dev/ttyNOSUCH0"}
                                                      << 3 << "ttyNOSUCH0: cannot open: No such file or directory";
        QTest::newRow("the wrong mode") << QStringList{"status", "$", "--simulate=hid"} << 3 << "";
    }
    void refusalsRecorded()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exit);
        QFETCH(QString, reason);
        WorkDir work;
        const QString store = work.dir.filePath("history.db");
        for (const char* name : {"fw.bin", "fw.mvx"})
            QVERIFY(WriteFile(work.dir.filePath(name), Lines(230)));
        if (args.value(1).contains('.'))
            args[1] = work.dir.filePath(args[1]);
        QCOMPARE(RunTool(args + QStringList{"--history", store}).exit, exit);
        const QList<QJsonObject> records = History(store);
        QCOMPARE(records.size(), reason.isEmpty() ? 0 : 1);
        if (reason.isEmpty())
            return;
        QCOMPARE(records.first()["result"].toString(), QStringLiteral("failed"));
        QCOMPARE(records.first()["exit"].toInt(), exit);
        QVERIFY2(records.first()["reason"].toString().contains(reason), qPrintable(records.first()["reason"].toString()));
    }

    // A process killed in the middle leaves its record, shown as interrupted,
    // and the next write on the host completes it so; the chain holds.
    void killedDownloadInterrupted()
    {
        WorkDir work;
        const QString store = work.dir.filePath("history.db");
        QVERIFY(WriteFile(work.dir.filePath("fw.mvx"), Lines(400)));
        // Twice: once its record is there, running, the process is killed.
        for (int killed = 1; killed <= 2; ++killed) {
            const std::unique_ptr<QProcess> p =
                StartTool({"flash", work.dir.filePath("fw.mvx"), "--simulate", "--history", store}, "answerDelayMs=20");
            QTRY_VERIFY_WITH_TIMEOUT(History(store).size() == killed, 20000);
            ::kill(static_cast<pid_t>(p->processId()), SIGKILL);
            QVERIFY(p->waitForFinished(10000));
        }
        QList<QJsonObject> records = History(store);
        QCOMPARE(records.first()["result"].toString(), QStringLiteral("interrupted"));
        QCOMPARE(records.first()["reason"].toString(), Journal::AbandonedReason());
        QCOMPARE(RunTool({"status", "z", "--simulate", "--history", store}).exit, 0);
        records = History(store, {"--result", "interrupted"});
        QCOMPARE(records.size(), 2);
        const QList<QJsonObject> newest = History(store, {"--result", "interrupted", "--limit", "1"});
        QCOMPARE(newest.size(), 1);
        QCOMPARE(newest.first()["uuid"], records.first()["uuid"]);
        QCOMPARE(RunTool({"history", "verify", "--history", store}).out.trimmed(), QStringLiteral("3 records checked"));
    }

    // Two processes of one station writing at once keep one chain.
    void twoProcessesOneChain()
    {
        WorkDir work;
        const QString store = work.dir.filePath("history.db");
        std::vector<std::unique_ptr<QProcess>> runs;
        for (int round = 0; round < 3; ++round) {
            for (int i = 0; i < 2; ++i)
                runs.emplace_back(StartTool({"status", "z", "--simulate", "--history", store, "--station", "S"}));
            for (auto& p : runs)
                QVERIFY(p->waitForFinished(30000) && p->exitCode() == 0);
            runs.clear();
        }
        const QList<QJsonObject> records = History(store);
        QCOMPARE(records.size(), 6);
        SqliteStore reader(store);
        VerifyResult v;
        QVERIFY(reader.open(false) && reader.verify(v));
        QVERIFY2(v.ok, qPrintable(v.why));
        QCOMPARE(v.checked, 6);
    }

    // history's filters and forms: CSV with a header, quoted where a field
    // needs it; --since and --limit.
    void historyFiltersAndCsv()
    {
        WorkDir work;
        const QString store = work.dir.filePath("history.db");
        QVERIFY(WriteFile(work.dir.filePath("fw.mvx"), Lines(230)));
        QCOMPARE(RunTool({"flash", work.dir.filePath("fw.mvx"), "--simulate", "--history", store}, "wrongAnswerAtRecord=2")
                     .exit,
                 1);
        QCOMPARE(RunTool({"status", "n", "--simulate", "--history", store}).exit, 0);
        QCOMPARE(History(store, {"--result", "failed"}).size(), 1);
        QCOMPARE(History(store, {"--limit", "1"}).first()["command"].toString(), QStringLiteral("status-n"));
        QCOMPARE(History(store, {"--serial", "MVX0001"}).size(), 2);
        QCOMPARE(History(store, {"--serial", "MVX0002"}).size(), 0);
        QCOMPARE(History(store, {"--since", "2999-01-01"}).size(), 0);
        const ToolRun csv = RunTool({"history", "--csv", "--history", store});
        QCOMPARE(csv.exit, 0);
        const QStringList lines = csv.out.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.first(), JournalRecord::Fields().join(','));
        // The failed flash's message has a colon, its reason a full stop;
        // a field with a comma or a quote is quoted, its quotes doubled.
        JournalRecord r;
        r.message = QStringLiteral("a, \"b\"");
        QVERIFY(r.csvRow().contains(QStringLiteral(",\"a, \"\"b\"\"\",")));
    }

    // The window records its operations, with the controller it addressed.
    void windowRecordsEveryField()
    {
        const QString store = path("window.db");
        qputenv("MORVAX_HISTORY", QFile::encodeName(store));
        {
            OpenedDialog f;
            QVERIFY(WriteFile(f.dir.filePath("fw.mvx"), Lines(227)));
            f.dlg->m_strFlashFile = f.dir.filePath("fw.mvx");
            f.dlg->Run([&] { f.dlg->OnFlashDownload(); });
            f.dlg->Run([&] { f.dlg->OnModeZ(); });
        }
        qputenv("MORVAX_HISTORY", "");
        const QList<QJsonObject> records = History(store);
        QCOMPARE(records.size(), 2);
        const QJsonObject flash = records.last(), z = records.first();
        QCOMPARE(flash["origin"].toString(), QStringLiteral("window"));
        QCOMPARE(flash["command"].toString(), QStringLiteral("flash"));
        QVERIFY(flash["port"].toString().startsWith("/dev/pts/"));
        QCOMPARE(flash["usbPath"].toString(), QStringLiteral("1-1"));
        QCOMPARE(flash["serial"].toString(), QStringLiteral("MVX0001"));
        QCOMPARE(flash["vid"].toString(), QStringLiteral("2f5a"));
        QCOMPARE(flash["records"].toInt(), 227);
        QCOMPARE(flash["accepted"].toInt(), 227);
        QCOMPARE(flash["imageSha256"].toString(),
                 QString(QCryptographicHash::hash(Lines(227), QCryptographicHash::Sha256).toHex()));
        QCOMPARE(flash["result"].toString(), QStringLiteral("ok"));
        QCOMPARE(flash["message"].toString(), QStringLiteral("DownLoad Successful!"));
        QCOMPARE(flash["simulated"].toBool(), true);
        QCOMPARE(z["command"].toString(), QStringLiteral("status-z"));
        QCOMPARE(z["exit"].toInt(), 0);
    }
};

QTEST_MAIN(TestJournal)
#include "tst_journal.moc"
