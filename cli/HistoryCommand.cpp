#include "cli/HistoryCommand.h"
#include "cli/CommandLine.h"
#include "cli/ExitStatus.h"
#include "cli/Output.h"
#include "journal/Journal.h"
#include "journal/JournalOpen.h"
#include "journal/JournalStore.h"
#include "journal/LineStore.h"
#include "journal/PgStore.h"
#include "settings/HistorySettings.h"
#include "settings/SettingsFile.h"
#include <QFileInfo>

namespace {
// The table a person reads: the fields that tell one operation from
// another, each column as wide as its widest cell.
QString Table(const std::vector<JournalRecord>& records)
{
    static const QStringList COLUMNS = {"id", "started", "station", "slot", "command", "port", "serial",
                                        "image", "result", "exit", "reason"};
    std::vector<QStringList> rows{COLUMNS};
    for (const JournalRecord& r : records) {
        QStringList row;
        for (const QString& c : COLUMNS) {
            const QJsonValue v = r.value(c);
            QString text = v.isDouble() ? QString::number(v.toInteger()) : v.toString();
            if (c == QLatin1String("image"))
                text = QFileInfo(text).fileName();
            row << (text.isEmpty() ? QStringLiteral("-") : text);
        }
        rows.push_back(row);
    }
    QList<qsizetype> widths(COLUMNS.size(), 0);
    for (const QStringList& row : rows)
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    QString out;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i)
            line += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
        out += line + u'\n';
    }
    return out;
}
} // namespace

namespace {
// history sync: what this station's store holds for the line database and
// has not sent, sent now.
int Sync(const JournalTarget& target, Output& out)
{
    if (target.kind != JournalTarget::Kind::Line)
        return out.result(EXIT_USAGE, QStringLiteral("history sync forwards to a line database, and %1 is none")
                                          .arg(target.kind == JournalTarget::Kind::Off ? QStringLiteral("off")
                                                                                         : target.shown()));
    const QString local = JournalOpen::LocalPath();
    // No store on this station: nothing waits.
    if (!QFileInfo::exists(local))
        return out.result(EXIT_OK, QStringLiteral("0 records forwarded"), QString(), {{QStringLiteral("forwarded"), 0}});
    LineStore store(local, target.where);
    if (!store.open(true))
        return out.result(EXIT_NO_CONTROLLER, QStringLiteral("The station's journal cannot be read"), store.problem());
    int forwarded = 0;
    if (store.forward(forwarded))
        return out.result(EXIT_OK,
                          forwarded == 1 ? QStringLiteral("1 record forwarded")
                                         : QStringLiteral("%1 records forwarded").arg(forwarded),
                          QString(),
                          {{QStringLiteral("forwarded"), forwarded}});
    const int status = store.serverFailure() == int(PgStore::Failure::TimedOut) ? EXIT_TIMED_OUT : EXIT_NO_CONTROLLER;
    return out.result(status, QStringLiteral("Records wait for the line database (%1 forwarded)").arg(forwarded),
                      store.problem(), {{QStringLiteral("forwarded"), forwarded}});
}
} // namespace

int RunHistoryCommand(const Invocation& inv, Output& out)
{
    const QString config = inv.config.isEmpty() ? SettingsFilePath(QStringLiteral("Config.ini")) : inv.config;
    const JournalTarget target = JournalTarget::Choose(inv.history, ReadHistorySettings(config).url);
    if (!inv.args.isEmpty() && inv.args.first() == QLatin1String("sync"))
        return Sync(target, out);
    std::unique_ptr<JournalStore> store = JournalOpen::Reader(target);
    const bool verify = !inv.args.isEmpty() && inv.args.first() == QLatin1String("verify");
    if (!store || !store->open(false)) {
        if (store && !store->problem().isEmpty()) {
            const auto* line = dynamic_cast<const PgStore*>(store.get());
            return out.result(line && line->failure() == PgStore::Failure::TimedOut ? EXIT_TIMED_OUT : EXIT_NO_CONTROLLER,
                              QStringLiteral("The journal cannot be read"), store->problem());
        }
        // No journal yet: nothing was recorded.
        if (verify)
            return out.result(EXIT_OK, QStringLiteral("0 records checked"), QString(), {{QStringLiteral("checked"), 0}});
        if (inv.csv)
            out.text(JournalRecord::CsvHeader() + u'\n');
        return out.result(EXIT_OK, QString(), QString(), {{QStringLiteral("records"), 0}});
    }
    if (verify) {
        VerifyResult v;
        if (!store->verify(v))
            return out.result(EXIT_NO_CONTROLLER, QStringLiteral("The journal cannot be read"), store->problem());
        if (v.ok)
            return out.result(EXIT_OK, QStringLiteral("%1 records checked").arg(v.checked), QString(),
                              {{QStringLiteral("checked"), v.checked}});
        return out.result(EXIT_REFUSED,
                          QStringLiteral("The seal is broken at record %1 (%2)")
                              .arg(v.brokenId ? QString::number(*v.brokenId) : QStringLiteral("?"), v.brokenUuid),
                          v.why,
                          {{QStringLiteral("checked"), v.checked},
                           {QStringLiteral("id"), v.brokenId ? QJsonValue(qint64(*v.brokenId)) : QJsonValue()},
                           {QStringLiteral("uuid"), v.brokenUuid}});
    }

    // A record left running by a process that is gone shows as interrupted;
    // so a filter on running or interrupted looks at both and decides after.
    HistoryFilter filter;
    filter.serial = inv.serial;
    filter.usbPath = inv.usbPath;
    filter.port = inv.port;
    filter.station = inv.station;
    if (inv.sinceMs > 0)
        filter.sinceMs = inv.sinceMs;
    const bool openEnded = inv.result == QLatin1String("running") || inv.result == QLatin1String("interrupted");
    if (!openEnded) {
        filter.result = inv.result;
        filter.limit = inv.limit;
    }
    std::vector<JournalRecord> records;
    if (!store->query(filter, records))
        return out.result(EXIT_NO_CONTROLLER, QStringLiteral("The journal cannot be read"), store->problem());
    const QString host = JournalOpen::Host();
    std::vector<JournalRecord> shown;
    for (JournalRecord& r : records) {
        if (Journal::Abandoned(r, host)) {
            r.result = QStringLiteral("interrupted");
            r.reason = Journal::AbandonedReason();
        }
        if (openEnded && r.result != inv.result)
            continue;
        if (openEnded && inv.limit >= 0 && int(shown.size()) >= inv.limit)
            break;
        shown.push_back(std::move(r));
    }
    if (inv.csv) {
        QString text = JournalRecord::CsvHeader() + QStringLiteral("\r\n");
        for (const JournalRecord& r : shown)
            text += r.csvRow() + QStringLiteral("\r\n");
        out.text(text);
    } else if (out.json()) {
        for (const JournalRecord& r : shown) {
            Output::Fields fields;
            for (auto& [name, value] : r.jsonFields())
                fields.push_back({name, value});
            out.event(QStringLiteral("record"), fields);
        }
    } else {
        out.text(Table(shown));
    }
    return out.result(EXIT_OK, QString(), QString(), {{QStringLiteral("records"), int(shown.size())}});
}
