// What the journal costs.
//
// 1. Per operation on the bench (SQLite, WAL, synchronous=FULL): the time
//    the operation's own thread spends handing a record to the journal
//    (begin and finish), and the time the journal's thread takes to put both
//    writes on the disk, for operations one after another. The file system
//    is named.
// 2. The same with a line's database (a PostgreSQL server of this program's
//    own, on a local socket): the operation's share, and the time until a
//    record has arrived there.
// 3. A 255-record flash to a peer paced as a 460800 bit/s 8N2 line, with
//    and without the journal (taking turns, best of seven).
// 4. `morvax-tool history --serial S --limit 50` over 100,000 records, and
//    `history --station S --limit 50` over 100,000 records of a line's
//    database: wall time of the whole process, median of seven.
// 5. `history sync` of 10,000 waiting records: records per second.
//
// Prints figures only; not part of the test run.
#include "PgServer.h"
#include "PtyPeer.h"
#include "ToolProcess.h"
#include "journal/Journal.h"
#include "journal/JournalOpen.h"
#include "journal/OperationRecord.h"
#include "journal/SqliteStore.h"
#include "operations/ImageTransfer.h"
#include "platform/EventLoopClock.h"
#include "serial/SerialTransport.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>
#include <QUrlQuery>
#include <QDir>
#include <algorithm>
#include <cstdio>
#include <sys/vfs.h>
#include <vector>

namespace {
constexpr int OPERATIONS = 200;

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

QString FileSystem(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("stat"), {"-f", "-c", "%T", path});
    p.waitForFinished();
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

Journal::Identity Who(const QString& station = QStringLiteral("bench"))
{
    return {station, JournalOpen::Host(), QStringLiteral("bench"), QStringLiteral("bench"), QStringLiteral("command"),
            false};
}

// Operations one after another: the operation's share (begin and finish)
// and the time until the journal has written both, each in ms, medians.
void PerOperation(const char* label, Journal& journal)
{
    std::vector<double> handed, written;
    for (int i = 0; i < OPERATIONS; ++i) {
        QElapsedTimer t;
        t.start();
        JournalRecord r = journal.record(QStringLiteral("flash"));
        journal.begin(r);
        r.result = QStringLiteral("ok");
        r.exit = 0;
        journal.finish(r);
        handed.push_back(t.nsecsElapsed() / 1e6);
        journal.drain(60000);
        written.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("%-44s operation's share %7.3f ms, both writes done %7.3f ms (medians of %d)\n", label,
                Median(handed), Median(written), OPERATIONS);
}

// A 255-record flash on the paced peer; ms.
double Flash(const QString& port, const QString& image, Journal* journal)
{
    EventLoopClock clock;
    SerialTransport transport(clock);
    QElapsedTimer t;
    t.start();
    OperationRecord rec(journal, QStringLiteral("flash"));
    ImageTransfer transfer(transport, ImageFile::Kind::Flash);
    transfer.load(image);
    rec.fields().imageSha256 = transfer.sha256();
    rec.begin();
    const DownloadOutcome outcome = transfer.send(port);
    transfer.close();
    rec.finish(outcome == DownloadOutcome::Success ? OperationRecord::Result::Ok : OperationRecord::Result::Failed,
               0, QString());
    return t.nsecsElapsed() / 1e6;
}

// Fills a store with n sealed records of a few stations and serial numbers
// in one transaction, straight into the table.
bool Fill(QSqlDatabase& db, int n, bool postgres)
{
    QSqlQuery(db).exec(QStringLiteral("BEGIN"));
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO morvax_journal (uuid, started, finished, station, host, process_id, "
                             "command, serial, result, exit_status, simulated, seq, prev_link, link) "
                             "VALUES (?, ?, ?, ?, 'h', 1, 'flash', ?, 'ok', 0, 0, ?, ?, ?)"));
    std::vector<QString> links(10);
    std::vector<qint64> seqs(10, 0);
    for (int i = 0; i < n; ++i) {
        JournalRecord r;
        r.uuid = JournalRecord::NewUuid();
        r.startedMs = 1'765'000'000'000 + i * 1000LL;
        r.finishedMs = r.startedMs + 900;
        r.station = QStringLiteral("S%1").arg(i % 10);
        r.host = QStringLiteral("h");
        r.processId = 1;
        r.command = QStringLiteral("flash");
        r.serial = QStringLiteral("MVX%1").arg(i % 5000, 5, 10, QChar(u'0'));
        r.result = QStringLiteral("ok");
        r.exit = 0;
        r.seq = ++seqs[i % 10];
        r.prevLink = links[i % 10];
        r.link = r.computeLink();
        links[i % 10] = r.link;
        for (const QVariant& v : {QVariant(r.uuid), QVariant(qint64(r.startedMs)), QVariant(qint64(*r.finishedMs)),
                                  QVariant(r.station), QVariant(r.serial), QVariant(qint64(*r.seq)), QVariant(r.prevLink),
                                  QVariant(r.link)})
            q.addBindValue(v);
        if (!q.exec())
            return false;
    }
    (void)postgres;
    return QSqlQuery(db).exec(QStringLiteral("COMMIT"));
}

// Median wall time of the whole history process, ms.
double HistoryWall(const QStringList& args, const QProcessEnvironment& env = {})
{
    std::vector<double> runs;
    for (int i = 0; i < 7; ++i) {
        QElapsedTimer t;
        t.start();
        const ToolRun r = RunTool(QStringList{"history"} + args + QStringList{"--csv"}, {}, env);
        runs.push_back(t.nsecsElapsed() / 1e6);
        if (r.exit != 0)
            std::printf("  history failed: %s\n", qPrintable(r.err));
    }
    return Median(runs);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("history.db"));

    // 1. The bench.
    {
        Journal journal([file] { return std::make_unique<SqliteStore>(file); }, Who());
        char label[128];
        std::snprintf(label, sizeof label, "SQLite, WAL, synchronous=FULL (%s):", qPrintable(FileSystem(dir.path())));
        PerOperation(label, journal);
    }

    // 2. A line's database on a local socket.
    PgServer server;
    const bool line = server.start();
    if (!line) {
        std::printf("PostgreSQL: not measured (%s)\n", qPrintable(server.why()));
    } else {
        qputenv("XDG_STATE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("state"))));
        JournalTarget target = JournalTarget::Named(server.url());
        auto journal = JournalOpen::Open(target, Who());
        PerOperation("PostgreSQL on a local socket, through the station:", *journal);
    }

    // 3. A flash with and without the journal.
    {
        PtyPeer peer({.paced = true, .keepRecords = false});
        const QString image = dir.filePath(QStringLiteral("fw.mvx"));
        QFile f(image);
        f.open(QIODevice::WriteOnly);
        for (int i = 0; i < 255; ++i)
            f.write(":10" + QByteArray::number(i, 16).rightJustified(4, '0') + QByteArray(60, 'A') + "\n");
        f.close();
        Journal journal([file] { return std::make_unique<SqliteStore>(file); }, Who());
        double without = 1e9, with = 1e9;
        for (int round = 0; round < 7; ++round) {
            without = std::min(without, Flash(peer.path(), image, nullptr));
            with = std::min(with, Flash(peer.path(), image, &journal));
            journal.drain(60000);
        }
        std::printf("flash of 255 records, paced peer:             without %.1f ms, with the journal %.1f ms, "
                    "ratio %.3f\n",
                    without, with, with / without);
    }

    // 4. history over 100,000 records.
    {
        const QString big = dir.filePath(QStringLiteral("big.db"));
        {
            SqliteStore store(big);
            store.open(true);
        }
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
            db.setDatabaseName(big);
            db.open();
            Fill(db, 100'000, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("fill"));
        std::printf("history --serial S --limit 50, 100,000 records: %.1f ms (the whole process, median of 7)\n",
                    HistoryWall({"--history", big, "--serial", "MVX01234", "--limit", "50"}));
        if (line) {
            server.psql(QStringLiteral("TRUNCATE morvax_journal"));
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("fillpg"));
                db.setHostName(QUrlQuery(QUrl(server.url())).queryItemValue(QStringLiteral("host")));
                db.setUserName(QStringLiteral("postgres"));
                db.setDatabaseName(QStringLiteral("line"));
                db.open();
                Fill(db, 100'000, true);
                db.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("fillpg"));
            std::printf("history --station S --limit 50, 100,000 line records: %.1f ms (the whole process, median of "
                        "7)\n",
                        HistoryWall({"--history", server.url(), "--station", "S3", "--limit", "50"}));
        }
    }

    // 5. Forwarding 10,000 waiting records.
    if (line) {
        const QString state = dir.filePath(QStringLiteral("sync-state"));
        const QString local = state + QStringLiteral("/morvax-tool/history.db");
        {
            QDir().mkpath(state + QStringLiteral("/morvax-tool"));
            SqliteStore store(local);
            store.open(true);
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("waiting"));
            db.setDatabaseName(local);
            db.open();
            // Stations of their own, so that their seals do not meet the
            // records filled in above.
            Fill(db, 10'000, false);
            QSqlQuery(db).exec(QStringLiteral("UPDATE morvax_journal SET station = 'W' || station"));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("waiting"));
        QProcessEnvironment env;
        env.insert(QStringLiteral("XDG_STATE_HOME"), state);
        QElapsedTimer t;
        t.start();
        const ToolRun r = RunTool({"history", "sync", "--history", server.url()}, {}, env);
        const double seconds = t.nsecsElapsed() / 1e9;
        std::printf("history sync of 10,000 waiting records: %.2f s, %.0f records/s (%s)\n", seconds, 10'000 / seconds,
                    qPrintable(r.out.trimmed() + r.err.trimmed()));
    }
    return 0;
}
