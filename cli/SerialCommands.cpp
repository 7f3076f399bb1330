// The commands over the serial port: downloads, mode commands, the switch
// to HID mode.
#include "cli/CommandLine.h"
#include "cli/CommandSession.h"
#include "cli/ExitStatus.h"
#include "cli/Output.h"
#include "cli/StatusRows.h"
#include "cli/StopSignal.h"
#include "operations/ImageTransfer.h"
#include "operations/ModeCommand.h"
#include "operations/ModeSwitch.h"
#include "platform/Clock.h"
#include <QElapsedTimer>
#include <QFileInfo>

namespace {
bool StopAsked() { return StopSignal::Received() != 0; }
const QString LETTERS = QStringLiteral("dnz$");
} // namespace

int CommandSession::download(ImageFile::Kind kind)
{
    if (m_inv.all || m_inv.watch || !m_inv.slotNames.isEmpty())
        return station(kind);
    return print(runDownload(kind, m_inv.args.first()));
}

Outcome CommandSession::runDownload(ImageFile::Kind kind, const QString& file)
{
    const QString command = kind == ImageFile::Kind::Flash ? QStringLiteral("flash") : QStringLiteral("eeprom");
    // The name rules test the whole path, folders included, as the path a
    // file dialog gives.
    const QString path = QFileInfo(file).absoluteFilePath();
    const std::unique_ptr<OperationRecord> rec = record(command);
    rec->fields().image = path;
    if (!ImageFile::NameFits(kind, path))
        return done(*rec, {EXIT_USAGE, ImageTransfer::WrongNameMessage(kind), path, {}, {}});
    ImageTransfer transfer(m_transport, kind);
    const DownloadOutcome loaded = transfer.load(path);
    if (loaded != DownloadOutcome::Success)
        return done(*rec, {EXIT_USAGE, transfer.message(loaded),
                           loaded == DownloadOutcome::CannotOpenFile
                               ? QStringLiteral("%1: %2").arg(path, transfer.fileError())
                               : transfer.text(),
                           {}, {}});
    const int total = transfer.total();
    rec->fields().imageSize = transfer.imageSize();
    rec->fields().imageSha256 = transfer.sha256();
    rec->fields().records = total;
    const QString digest = QStringLiteral("%1: SHA-256 %2").arg(QFileInfo(path).fileName(), transfer.sha256());
    if (!m_inv.sha256.isEmpty() && m_inv.sha256 != transfer.sha256())
        return done(*rec, {EXIT_USAGE, QStringLiteral("The image is not the one --sha256 names"),
                           QStringLiteral("%1, not %2").arg(digest, m_inv.sha256), {}, {}});
    Controllers::ComPort port;
    Outcome why;
    if (!pickPort(port, why, QStringLiteral("Please switch to COM mode!")))
        return why;
    Describe(*rec, port);
    rec->begin();

    m_out->start(command, {{QStringLiteral("file"), path},
                           {QStringLiteral("records"), total},
                           {QStringLiteral("port"), port.port},
                           {QStringLiteral("sha256"), transfer.sha256()}});
    m_out->note(digest);
    QElapsedTimer took;
    took.start();
    const DownloadOutcome outcome =
        transfer.send(port.port, [&](int done) { m_out->progress(done, total); }, StopAsked);
    // The port is free again before anyone hears how it went.
    transfer.close();
    const double seconds = took.elapsed() / 1000.0;
    rec->fields().accepted = transfer.accepted();
    const DeviceOutcome failure = transfer.failure();
    if (!failure.ok())
        m_out->log(failure.line());
    const QString message = transfer.message(outcome);
    const Output::Fields accepted{{QStringLiteral("accepted"), transfer.accepted()}};

    switch (outcome) {
    case DownloadOutcome::Success:
        break;
    case DownloadOutcome::Cancelled:
        m_out->log(message);
        return done(*rec, Stopped(message));
    default:
        // A file that changed or went after it was checked says so; a port
        // that failed, how.
        return done(*rec, {ExitStatusOf(outcome, failure), message,
                           outcome == DownloadOutcome::CannotOpenFile
                               ? QStringLiteral("%1: %2").arg(path, transfer.fileError())
                           : failure.ok() || outcome == DownloadOutcome::LineTooLong ? transfer.text()
                                                                                     : failure.line(),
                           accepted, {}});
    }

    Output::Fields more{{QStringLiteral("accepted"), transfer.accepted()}, {QStringLiteral("seconds"), seconds}};
    QString summary = QStringLiteral("%1 records to %2 in %3 s").arg(total).arg(port.port).arg(seconds, 0, 'f', 2);
    if (kind == ImageFile::Kind::Flash) {
        // The controller may come back over HID after a flash: where it is
        // now. Only the flashed controller counts, when its place is known.
        QString mode = QStringLiteral("com");
        keepTo(port.usbPath);
        if (!haveIds()) {
            mode = QStringLiteral("unknown");
            summary += QStringLiteral("; no VID/PID, so not looked for over HID");
        } else if (openHid()) {
            mode = QStringLiteral("hid");
            rec->fields().version = m_strVersion;
            summary += QStringLiteral("; the controller is in HID mode, version %1").arg(m_strVersion);
        } else {
            if (!m_hid.failure().ok())
                m_out->log(m_hid.failure().line());
            summary += QStringLiteral("; the controller stays in COM mode");
        }
        more.push_back({QStringLiteral("mode"), mode});
        if (!m_inv.expectVersion.isEmpty() && m_inv.command == QLatin1String("flash")) {
            // The version the line expects, read over HID: the controller is
            // switched there first when it stays in COM mode.
            QString why;
            if (mode == QLatin1String("com")) {
                const std::int64_t start = m_platform.clock->nowMs();
                const ModeSwitch::PortResult sent = ModeSwitch::SwitchToHid(m_transport, *m_platform.clock, port.port);
                QString where;
                if (!sent.opened || !sent.sent)
                    why = sent.failure.line();
                else if (!waitBack(Mode::Hid, start, port.usbPath, where))
                    why = QStringLiteral("the controller is not back in HID mode after %1 s").arg(SWITCH_BACK_MS / 1000);
                else
                    summary += QStringLiteral(", switched to HID mode for its version, %1")
                                   .arg(rec->fields().version = m_strVersion);
            } else if (mode == QLatin1String("unknown")) {
                why = QStringLiteral("no VID/PID to find it over HID");
            }
            more.push_back({QStringLiteral("version"), rec->fields().version});
            if (!why.isEmpty())
                return done(*rec, {EXIT_TIMED_OUT, QStringLiteral("version not read: %1").arg(why), why, more, summary});
            if (rec->fields().version != m_inv.expectVersion) {
                const QString wrong =
                    QStringLiteral("version %1, expected %2").arg(rec->fields().version, m_inv.expectVersion);
                return done(*rec, {EXIT_REFUSED, wrong, wrong, more, summary});
            }
        } else if (mode == QLatin1String("hid")) {
            more.push_back({QStringLiteral("version"), m_strVersion});
        }
    }
    return done(*rec, {EXIT_OK, message, {}, more, summary});
}

int CommandSession::status()
{
    const QString letter = m_inv.args.first();
    const auto id = static_cast<ModeCommand::Id>(LETTERS.indexOf(letter));
    // The reports as the command prints them: one text line each (a log
    // event in JSON, followed by the report as data), or a CSV row each.
    StatusRows rows;
    bool started = false;
    const Outcome outcome = runStatus(id, m_inv.seconds * 1000, [&](const StatusReport& r, std::int64_t ms) {
        if (m_inv.csv) {
            if (!started)
                m_out->text(StatusRows::Header() + u'\n');
            started = true;
            m_out->text(rows.row(r, ms) + u'\n');
            return;
        }
        m_out->line(r.text);
        m_out->event(QStringLiteral("report"), rows.event(r, ms));
    });
    // A CSV file has its header even when no report came.
    if (m_inv.csv && !started && outcome.ok())
        m_out->text(StatusRows::Header() + u'\n');
    return print(outcome);
}

Outcome CommandSession::runStatus(ModeCommand::Id id, int forMs, const ModeCommand::ReportSink& onReport)
{
    const QString letter = LETTERS.mid(id, 1);
    const ModeCommand& cmd = ModeCommand::get(id);
    Controllers::ComPort port;
    Outcome why;
    if (!pickPort(port, why, QString::fromLatin1(cmd.notInComMode)))
        return why;
    const std::unique_ptr<OperationRecord> rec = record(QStringLiteral("status-") + letter);
    Describe(*rec, port);
    rec->begin();
    m_out->start(QStringLiteral("status"), {{QStringLiteral("mode"), letter}, {QStringLiteral("port"), port.port}});
    int reports = 0;
    const ModeCommand::Result exchanged = cmd.exchange(
        m_transport, m_parser, *m_platform.clock, port.port,
        [&](const StatusReport& r, std::int64_t ms) {
            ++reports;
            if (onReport)
                onReport(r, ms);
        },
        {forMs, StopAsked});
    const Output::Fields counted{{QStringLiteral("reports"), reports}};
    if (!exchanged.failure.ok()) {
        m_out->log(exchanged.failure.line());
        return done(*rec, {ExitStatusOf(exchanged.failure),
                           exchanged.sent ? QStringLiteral("The answer to %1 could not be read").arg(letter)
                                          : QStringLiteral("%1 was not sent").arg(letter),
                           exchanged.failure.line(), counted, {}});
    }
    if (StopSignal::Received())
        return done(*rec, Stopped(QStringLiteral("Stopped after %1 status reports").arg(reports)));
    return done(*rec, {EXIT_OK, cmd.readsAnswer ? QString() : QStringLiteral("%1 sent").arg(letter), {}, counted, {}});
}

int CommandSession::switchToHid() { return print(runSwitchToHid()); }

Outcome CommandSession::runSwitchToHid()
{
    if (!haveIds())
        return NoIds();
    if (m_pick.port.isEmpty() && onlyIn(Mode::Hid)) {  // already where it was asked to go
        const auto inHid = Controllers::Select(Controllers::HidControllers(*m_platform.hidBus, m_strVid, m_strPid, true),
                                               m_pick.usbPath, m_pick.serial);
        return {EXIT_OK, QStringLiteral("Already Open USBHID!"), {},
                {{QStringLiteral("mode"), QStringLiteral("hid")}, {QStringLiteral("version"), inHid.front().version}},
                {}};
    }
    Controllers::ComPort port;
    Outcome why;
    if (!pickPort(port, why, QStringLiteral("Please switch to COM mode!")))
        return why;
    const std::unique_ptr<OperationRecord> rec = record(QStringLiteral("switch-hid"));
    Describe(*rec, port);
    rec->begin();
    m_out->start(QStringLiteral("switch"),
                 {{QStringLiteral("mode"), QStringLiteral("hid")}, {QStringLiteral("port"), port.port}});

    const std::int64_t start = m_platform.clock->nowMs();
    const ModeSwitch::PortResult sent = ModeSwitch::SwitchToHid(m_transport, *m_platform.clock, port.port);
    if (!sent.failure.ok())
        m_out->log(sent.failure.line());
    if (!sent.opened)
        return done(*rec, {ExitStatusOf(sent.failure), QStringLiteral("COM cannot open!"), sent.failure.line(), {}, {}});
    if (!sent.sent)
        return done(*rec, {sent.failure.ok() ? EXIT_REFUSED : ExitStatusOf(sent.failure),
                           QStringLiteral("The switch command could not be sent!"), sent.failure.line(), {}, {}});
    return finishSwitch(*rec, Mode::Hid, start, port.usbPath);
}
