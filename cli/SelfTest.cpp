#include "cli/SelfTest.h"
#include "cli/CommandLine.h"
#include "cli/ExitStatus.h"
#include "cli/Output.h"
#include "cli/SelfTestReport.h"
#include "cli/StopSignal.h"
#include "operations/ImageTransfer.h"
#include "serial/SerialTransport.h"
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <cmath>

namespace {
const char* const NAMES[SelfTest::STEPS] = {"found", "version", "switch-com", "n",          "d",
                                            "z-dollar", "eeprom", "flash",     "switch-hid", "calibrate"};
// How long a status step listens, at most, as status does by default.
constexpr int LISTEN_MS = 10000;

double Seconds(const QJsonValue& v) { return std::round(v.toDouble() * 1000) / 1000; }

bool IsStop(int exit) { return exit == EXIT_SIGINT || exit == EXIT_SIGTERM; }
} // namespace

SelfTest::SelfTest(CommandSession& session, const Invocation& inv, Output& out)
    : m_session(session), m_inv(inv), m_out(out)
{
}

QString SelfTest::StepName(int number) { return QString::fromLatin1(NAMES[number - 1]); }

Outcome SelfTest::checkArguments()
{
    if (!m_session.haveIds())
        return {EXIT_USAGE, QStringLiteral("The controller's VID and PID are not known"),
                QStringLiteral("give --vid and --pid, or a Config.ini with them (--config FILE)"), {}, {}};
    // The images as the downloads will check them: the name, then the lines.
    SerialTransport unused(*m_session.platform().clock);
    for (auto [kind, given, image] : {std::tuple{ImageFile::Kind::Eeprom, &m_inv.eeprom, &m_eeprom},
                                      std::tuple{ImageFile::Kind::Flash, &m_inv.image, &m_flash}}) {
        if (given->isEmpty())
            continue;
        const QString path = QFileInfo(*given).absoluteFilePath();
        if (!ImageFile::NameFits(kind, path))
            return {EXIT_USAGE, ImageTransfer::WrongNameMessage(kind), path, {}, {}};
        ImageTransfer transfer(unused, kind);
        const DownloadOutcome loaded = transfer.load(path);
        if (loaded != DownloadOutcome::Success)
            return {EXIT_USAGE, transfer.message(loaded),
                    loaded == DownloadOutcome::CannotOpenFile ? QStringLiteral("%1: %2").arg(path, transfer.fileError())
                                                              : transfer.text(),
                    {}, {}};
        *image = {path, transfer.total(), transfer.sha256()};
    }
    // The JUnit file is opened as it will be written, without emptying one
    // that is there.
    if (!m_inv.junit.isEmpty()) {
        QFile junit(m_inv.junit);
        if (!junit.open(QIODevice::WriteOnly | QIODevice::Append))
            return {EXIT_USAGE, QStringLiteral("Cannot write the JUnit file"),
                    QStringLiteral("%1: %2").arg(m_inv.junit, junit.errorString()), {}, {}};
    }
    return {};
}

int SelfTest::run()
{
    if (const Outcome usage = checkArguments(); !usage.ok())
        return m_out.result(usage.exit, usage.message, usage.reason);
    // The operations show their progress and nothing else: the steps say
    // how each went.
    Output operations(m_out.json(), m_out.out(), m_out.err(), Output::Shows::ProgressOnly);
    m_session.setOutput(operations);
    SelfTestReport report(m_out);
    QElapsedTimer took;
    took.start();
    int failedAt = 0, stoppedAt = 0;
    for (int k = 1; k <= STEPS; ++k) {
        SelfTestStep step;
        step.number = k;
        step.name = StepName(k);
        if (failedAt || stoppedAt) {
            step.reason = stoppedAt ? QStringLiteral("stopped at step %1").arg(stoppedAt)
                                    : QStringLiteral("after the failure at step %1").arg(failedAt);
        } else if (const int signal = StopSignal::Received()) {
            step.status = SelfTestStep::Status::Fail;
            step.exit = StopSignal::ExitStatus(signal);
            step.reason = QStringLiteral("stopped by a signal before the step");
        } else {
            QElapsedTimer stepTook;
            stepTook.start();
            runStep(step);
            step.seconds = stepTook.elapsed() / 1000.0;
            operations.endProgress();
        }
        if (step.status == SelfTestStep::Status::Fail && !stoppedAt && !failedAt) {
            if (IsStop(step.exit))
                stoppedAt = k;
            else
                failedAt = k;
        }
        m_steps.push_back(step);
        report.step(step);
        if (m_observer)
            m_observer(step);
    }
    m_session.setOutput(m_out);

    const double seconds = took.elapsed() / 1000.0;
    const int exit = stoppedAt ? m_steps[std::size_t(stoppedAt - 1)].exit
                     : failedAt == 1 ? EXIT_NO_CONTROLLER
                     : failedAt      ? EXIT_REFUSED
                                     : EXIT_OK;
    const SelfTestReport::Verdict verdict{exit, failedAt, stoppedAt, seconds, controllerName()};
    if (!m_inv.junit.isEmpty()) {
        QString error;
        if (!SelfTestReport::WriteJUnit(m_inv.junit, m_steps, verdict, error))
            m_out.problem(QStringLiteral("%1: %2").arg(m_inv.junit, error));
    }
    return report.verdict(m_steps, verdict);
}

void SelfTest::runStep(SelfTestStep& step)
{
    switch (step.number) {
    case 1:
        return found(step);
    case 2:
        return version(step);
    case 3:
        return switchCom(step);
    case 4:
        return reports(step, ModeCommand::N);
    case 5:
        return reports(step, ModeCommand::D);
    case 6:
        return zDollar(step);
    case 7:
        return download(step, ImageFile::Kind::Eeprom);
    case 8:
        return download(step, ImageFile::Kind::Flash);
    case 9:
        return switchHid(step);
    default:
        return calibrate(step);
    }
}

bool SelfTest::Failed(SelfTestStep& step, const Outcome& outcome)
{
    if (outcome.ok())
        return false;
    step.status = SelfTestStep::Status::Fail;
    step.exit = outcome.exit;
    step.message = outcome.message;
    step.reason = outcome.reason.isEmpty() ? outcome.message : outcome.reason;
    return true;
}

QString SelfTest::controllerName() const
{
    const QString where = !m_port.isEmpty() ? m_port : !m_hidPath.isEmpty() ? m_hidPath : QStringLiteral("-");
    return m_serial.isEmpty() ? where : QStringLiteral("%1 serial %2").arg(where, m_serial);
}

void SelfTest::cameBack(CommandSession::Mode mode, const Outcome& outcome)
{
    m_mode = mode;
    if (mode == CommandSession::Mode::Com && outcome.field(QStringLiteral("port")).isString())
        m_port = outcome.field(QStringLiteral("port")).toString();
}

void SelfTest::found(SelfTestStep& step)
{
    CommandSession::Found found;
    if (Failed(step, m_session.findController(found)))
        return;
    m_mode = found.mode;
    m_serial = found.serial();
    const bool com = found.mode == CommandSession::Mode::Com;
    if (com)
        m_port = found.port.port;
    else
        m_hidPath = found.hid.path;
    step.status = SelfTestStep::Status::Pass;
    step.values = {{QStringLiteral("mode"), com ? QStringLiteral("com") : QStringLiteral("hid")},
                   {com ? QStringLiteral("port") : QStringLiteral("path"), com ? m_port : m_hidPath},
                   {QStringLiteral("usbPath"), found.usbPath()},
                   {QStringLiteral("serial"), m_serial}};
    // From now on the controller is picked where it sits on the bus: its
    // port changes as it leaves COM mode and comes back. A port the map does
    // not place stays the pick.
    if (!found.usbPath().isEmpty())
        m_session.setPick({QString(), found.usbPath(), found.serial()});
    else if (com)
        m_session.setPick({m_port, QString(), QString()});
    else
        m_session.setPick({QString(), QString(), found.serial()});
}

bool SelfTest::toHid(SelfTestStep& step, Output::Fields& values)
{
    if (m_mode == CommandSession::Mode::Hid)
        return true;
    const Outcome switched = m_session.runSwitchToHid();
    if (Failed(step, switched))
        return false;
    cameBack(CommandSession::Mode::Hid, switched);
    values.push_back({QStringLiteral("switchedToHid"), true});
    values.push_back({QStringLiteral("switchSeconds"), Seconds(switched.field(QStringLiteral("seconds")))});
    return true;
}

void SelfTest::version(SelfTestStep& step)
{
    Output::Fields values;
    if (!toHid(step, values))
        return;
    const Outcome info = m_session.runInfo();
    if (Failed(step, info))
        return;
    m_hidPath = info.field(QStringLiteral("path")).toString();
    values.insert(values.begin(), {QStringLiteral("version"), info.field(QStringLiteral("version"))});
    step.values = values;
    step.status = SelfTestStep::Status::Pass;
}

void SelfTest::switchCom(SelfTestStep& step)
{
    const Outcome switched = m_session.runSwitchToCom();
    if (Failed(step, switched))
        return;
    cameBack(CommandSession::Mode::Com, switched);
    step.values = {{QStringLiteral("port"), m_port},
                   {QStringLiteral("backSeconds"), Seconds(switched.field(QStringLiteral("seconds")))}};
    step.status = SelfTestStep::Status::Pass;
}

void SelfTest::reports(SelfTestStep& step, ModeCommand::Id id)
{
    int count = 0, incomplete = 0;
    QString firstShort;  // the first report without its six values
    const Outcome status = m_session.runStatus(id, LISTEN_MS, [&](const StatusReport& r, std::int64_t) {
        ++count;
        if (r.complete)
            return;
        ++incomplete;
        if (firstShort.isEmpty()) {
            QStringList values;
            for (const int v : r.values)
                values << QString::number(v);
            firstShort = QStringLiteral("report %1 carried %2 of 6 values (%3)")
                             .arg(count)
                             .arg(r.values.size())
                             .arg(values.join(QStringLiteral(", ")));
        }
    });
    step.values = {{QStringLiteral("reports"), count}, {QStringLiteral("incomplete"), incomplete}};
    if (Failed(step, status))
        return;
    if (count == 0) {
        // The listening ends when a read has waited the pump's idle time for
        // a byte in vain.
        const DeviceOutcome quiet(DeviceOutcome::Kind::TimedOut, DeviceOutcome::Step::Read, m_port,
                                  QStringLiteral("no status report within %1 s")
                                      .arg(SerialTransport::DEFAULT_PUMP_IDLE_MS / 1000));
        step.status = SelfTestStep::Status::Fail;
        step.exit = ExitStatusOf(quiet);
        step.reason = quiet.line();
        return;
    }
    if (incomplete > 0) {
        step.status = SelfTestStep::Status::Fail;
        step.exit = EXIT_REFUSED;
        step.reason = QStringLiteral("%1: %2 of %3 status reports without six values; %4")
                          .arg(m_port)
                          .arg(incomplete)
                          .arg(count)
                          .arg(firstShort);
        return;
    }
    step.status = SelfTestStep::Status::Pass;
}

void SelfTest::zDollar(SelfTestStep& step)
{
    QJsonArray sent;
    for (const ModeCommand::Id id : {ModeCommand::Z, ModeCommand::Dollar}) {
        if (Failed(step, m_session.runStatus(id, LISTEN_MS, {}))) {
            step.values = {{QStringLiteral("sent"), sent}};
            return;
        }
        sent.append(id == ModeCommand::Z ? QStringLiteral("z") : QStringLiteral("$"));
    }
    step.values = {{QStringLiteral("sent"), sent}};
    step.status = SelfTestStep::Status::Pass;
}

void SelfTest::download(SelfTestStep& step, ImageFile::Kind kind)
{
    const bool flash = kind == ImageFile::Kind::Flash;
    const Image& image = flash ? m_flash : m_eeprom;
    if (image.path.isEmpty()) {
        step.reason = flash ? QStringLiteral("no --image given") : QStringLiteral("no --eeprom given");
        return;
    }
    const Outcome sent = m_session.runDownload(kind, image.path);
    step.values = {{QStringLiteral("file"), image.path},
                   {QStringLiteral("records"), image.records},
                   {QStringLiteral("sha256"), image.sha256},
                   {QStringLiteral("accepted"), sent.field(QStringLiteral("accepted"))}};
    if (Failed(step, sent))
        return;
    step.values.push_back({QStringLiteral("sendSeconds"), Seconds(sent.field(QStringLiteral("seconds")))});
    if (!flash) {
        step.status = SelfTestStep::Status::Pass;
        return;
    }
    // Where the flash left it, then its version over HID.
    if (sent.field(QStringLiteral("mode")).toString() == QLatin1String("hid"))
        m_mode = CommandSession::Mode::Hid;
    if (!toHid(step, step.values))
        return;
    const Outcome info = m_session.runInfo();
    if (Failed(step, info))
        return;
    const QString version = info.field(QStringLiteral("version")).toString();
    step.values.push_back({QStringLiteral("version"), version});
    if (!m_inv.expectVersion.isEmpty() && version != m_inv.expectVersion) {
        step.status = SelfTestStep::Status::Fail;
        step.exit = EXIT_REFUSED;
        step.reason = QStringLiteral("version %1 after the flash, not %2 (--expect-version)").arg(version, m_inv.expectVersion);
        return;
    }
    step.status = SelfTestStep::Status::Pass;
}

void SelfTest::switchHid(SelfTestStep& step)
{
    // From HID mode (where a flash leaves it) the way back from COM mode is
    // the one timed.
    const bool viaCom = m_mode == CommandSession::Mode::Hid;
    if (viaCom) {
        const Outcome there = m_session.runSwitchToCom();
        if (Failed(step, there))
            return;
        cameBack(CommandSession::Mode::Com, there);
    }
    const Outcome back = m_session.runSwitchToHid();
    if (Failed(step, back))
        return;
    cameBack(CommandSession::Mode::Hid, back);
    step.values = {{QStringLiteral("version"), back.field(QStringLiteral("version"))},
                   {QStringLiteral("backSeconds"), Seconds(back.field(QStringLiteral("seconds")))},
                   {QStringLiteral("viaCom"), viaCom}};
    step.status = SelfTestStep::Status::Pass;
}

void SelfTest::calibrate(SelfTestStep& step)
{
    if (Failed(step, m_session.runCalibrate()))
        return;
    step.status = SelfTestStep::Status::Pass;
}
