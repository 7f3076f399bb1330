// flash and eeprom as a station: --all, --slots, --watch.
#include "cli/CommandLine.h"
#include "cli/CommandSession.h"
#include "cli/ExitStatus.h"
#include "cli/Station.h"
#include "cli/StopSignal.h"
#include "operations/ImageTransfer.h"
#include "serial/SerialTransport.h"
#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>

namespace {
// The command as given, without the words that picked its controllers, so
// that the slots named after it are run again.
QString Rerun()
{
    QStringList words{QStringLiteral("morvax-tool")};
    const QStringList given = QCoreApplication::arguments().mid(1);
    for (qsizetype i = 0; i < given.size(); ++i) {
        const QString& w = given[i];
        if (w == QLatin1String("--all") || w.startsWith(QLatin1String("--slots=")))
            continue;
        if (w == QLatin1String("--slots")) {
            ++i;
            continue;
        }
        static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:=@%+,-]+$"));
        words << (plain.match(w).hasMatch() ? w : QStringLiteral("'%1'").arg(QString(w).replace(u'\'', QStringLiteral("'\\''"))));
    }
    return words.join(u' ');
}
} // namespace

int CommandSession::station(ImageFile::Kind kind)
{
    // The image is checked once, before anything is sent to any slot.
    const QString path = QFileInfo(m_inv.args.first()).absoluteFilePath();
    if (!ImageFile::NameFits(kind, path))
        return m_out->result(EXIT_USAGE, ImageTransfer::WrongNameMessage(kind), path);
    ImageTransfer transfer(m_transport, kind);
    const DownloadOutcome loaded = transfer.load(path);
    if (loaded != DownloadOutcome::Success)
        return m_out->result(EXIT_USAGE, transfer.message(loaded),
                            loaded == DownloadOutcome::CannotOpenFile ? QStringLiteral("%1: %2").arg(path, transfer.fileError())
                                                                      : transfer.text());
    if (!m_inv.sha256.isEmpty() && m_inv.sha256 != transfer.sha256())
        return m_out->result(EXIT_USAGE, QStringLiteral("The image is not the one --sha256 names"),
                            QStringLiteral("%1: SHA-256 %2, not %3")
                                .arg(QFileInfo(path).fileName(), transfer.sha256(), m_inv.sha256));
    const StationTask task{kind, m_inv.command, path, m_inv.baud, m_inv.expectVersion, JournalRecord::Id(m_strVid),
                           JournalRecord::Id(m_strPid)};
    auto stop = [] { return StopSignal::Received() ? StopSignal::ExitStatus(StopSignal::Received()) : 0; };
    Station station(m_platform, *m_out, task, m_slots, m_journal, stop, Rerun());
    if (m_inv.watch)
        return station.watch();
    QString why;
    if (!station.choose(m_inv.slotNames, why))
        return m_out->result(EXIT_USAGE, why);
    return station.run();
}
