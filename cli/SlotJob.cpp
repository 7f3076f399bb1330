#include "cli/SlotJob.h"
#include "cli/ExitStatus.h"
#include "cli/StationDevices.h"
#include "hid/HidText.h"
#include "journal/OperationRecord.h"
#include "operations/ImageTransfer.h"
#include "operations/ModeSwitch.h"
#include "platform/ThreadClock.h"
#include "serial/BaudTable.h"
#include "serial/SerialTransport.h"
#include <QElapsedTimer>

SlotJob::SlotJob(const SlotTarget& target, const StationTask& task, StationDevices& devices, Journal* journal,
                 Clock& mainClock, std::function<int()> stop, Sink sink)
    : m_target(target), m_task(task), m_devices(devices), m_journal(journal), m_mainClock(mainClock),
      m_stop(std::move(stop)), m_sink(std::move(sink))
{
}

SlotJob::~SlotJob() = default;

bool SlotJob::Fail(SlotResult& result, int exit, const QString& message, const QString& reason)
{
    result.ok = false;
    result.exit = exit;
    result.message = message;
    result.reason = reason;
    return false;
}

bool SlotJob::attached(bool hid, QString& where)
{
    if (hid) {
        for (const Controllers::HidController& c : m_devices.hidControllers())
            if (c.usbPath == m_target.usbPath) {
                where = c.path;
                return true;
            }
        return false;
    }
    for (const Controllers::ComPort& p : m_devices.comPorts())
        if (p.usbPath == m_target.usbPath) {
            where = p.port;
            return true;
        }
    return false;
}

bool SlotJob::waitBack(bool hid, std::int64_t startMs, QString& where)
{
    while (m_clock->nowMs() - startMs < SWITCH_BACK_MS) {
        if (attached(hid, where))
            return true;
        m_clock->sleepMs(POLL_MS);
    }
    return false;
}

bool SlotJob::switchToCom(SlotResult& result)
{
    tell(QStringLiteral("stage"), {{QStringLiteral("stage"), QStringLiteral("switching to COM")}});
    int error = 0;
    std::unique_ptr<HidDevice> device = m_devices.openHid(m_target.hidPath, &error);
    if (!device) {
        const DeviceOutcome why = HidFailure(DeviceOutcome::Step::Open, m_target.hidPath.toStdString(), error);
        tell(QStringLiteral("log"), {{QStringLiteral("text"), why.line()}});
        return Fail(result, ExitStatusOf(why), QStringLiteral("Could not find the specified HID device!"), why.line());
    }
    const std::int64_t start = m_clock->nowMs();
    const DeviceOutcome sent = ModeSwitch::toCom(*device, *m_clock);
    device.reset();
    if (!sent.ok()) {
        tell(QStringLiteral("log"), {{QStringLiteral("text"), sent.line()}});
        QString stillThere;
        return Fail(result, HidExitStatus(sent, attached(true, stillThere)),
                    QStringLiteral("The switch command could not be sent!"), sent.line());
    }
    result.switchPending = true;
    if (!waitBack(false, start, m_port))
        return Fail(result, EXIT_TIMED_OUT,
                    QStringLiteral("The controller is not back in COM mode after %1 s").arg(SWITCH_BACK_MS / 1000),
                    QString());
    result.port = m_port;
    result.switchPending = false;
    tell(QStringLiteral("log"), {{QStringLiteral("text"), QStringLiteral("In COM mode at %1").arg(result.port)}});
    return true;
}

bool SlotJob::readVersion(SlotResult& result)
{
    tell(QStringLiteral("stage"), {{QStringLiteral("stage"), QStringLiteral("reading the version")}});
    // Back over HID by itself, or switched there from COM mode.
    QString path;
    const std::int64_t start = m_clock->nowMs();
    if (!attached(true, path)) {
        const ModeSwitch::PortResult sent = ModeSwitch::SwitchToHid(*m_transport, *m_clock, result.port);
        if (!sent.opened || !sent.sent)
            return Fail(result, EXIT_TIMED_OUT, QStringLiteral("version not read: %1").arg(sent.failure.line()),
                        sent.failure.line());
        result.switchPending = true;
        if (!waitBack(true, start, path))
            return Fail(result, EXIT_TIMED_OUT,
                        QStringLiteral("version not read: the controller is not back in HID mode after %1 s")
                            .arg(SWITCH_BACK_MS / 1000),
                        QString());
    }
    result.switchPending = false;
    int error = 0;
    HidAttributes attributes;
    std::unique_ptr<HidDevice> device = m_devices.openHid(path, &error);
    if (!device || !device->attributes(attributes)) {
        const DeviceOutcome why = HidFailure(DeviceOutcome::Step::Open, path.toStdString(), device ? device->lastError() : error);
        return Fail(result, EXIT_TIMED_OUT, QStringLiteral("version not read: %1").arg(why.line()), why.line());
    }
    result.version = HidText::VersionText(attributes.versionNumber);
    if (result.version != m_task.expectVersion)
        return Fail(result, EXIT_REFUSED, QStringLiteral("version %1, expected %2").arg(result.version, m_task.expectVersion),
                    QStringLiteral("version %1, expected %2").arg(result.version, m_task.expectVersion));
    return true;
}

SlotResult SlotJob::run()
{
    m_clock = std::make_unique<ThreadClock>(m_mainClock);
    m_transport = std::make_unique<SerialTransport>(*m_clock);
    if (!m_task.baud.isEmpty())
        m_transport->lineSettings().choose(BaudTable::settingsFor(m_task.baud));
    QElapsedTimer took;
    took.start();
    SlotResult result{m_target.slot, m_target.port, m_target.serial};
    m_port = m_target.port;
    OperationRecord rec(m_journal, m_task.command);
    JournalRecord& f = rec.fields();
    f.slot = m_target.slot;
    f.usbPath = m_target.usbPath;
    f.serial = m_target.serial;
    f.vid = m_task.vid;
    f.pid = m_task.pid;
    f.image = m_task.image;
    auto finish = [&] {
        result.seconds = took.elapsed() / 1000.0;
        f.port = result.port;
        f.version = result.version;
        rec.finish(result.ok ? OperationRecord::Result::Ok
                   : result.exit == EXIT_SIGINT || result.exit == EXIT_SIGTERM ? OperationRecord::Result::Cancelled
                                                                              : OperationRecord::Result::Failed,
                   result.exit, result.message, result.reason);
        return result;
    };

    ImageTransfer transfer(*m_transport, m_task.kind);
    const DownloadOutcome loaded = transfer.load(m_task.image);
    if (loaded != DownloadOutcome::Success) {
        Fail(result, EXIT_USAGE, transfer.message(loaded), transfer.fileError().isEmpty() ? transfer.text() : transfer.fileError());
        return finish();
    }
    f.imageSize = transfer.imageSize();
    f.imageSha256 = transfer.sha256();
    f.records = transfer.total();
    rec.begin();
    if (result.port.isEmpty() && !switchToCom(result))
        return finish();

    tell(QStringLiteral("start"), {{QStringLiteral("command"), m_task.command},
                                     {QStringLiteral("file"), m_task.image},
                                     {QStringLiteral("records"), transfer.total()},
                                     {QStringLiteral("sha256"), transfer.sha256()}});
    tell(QStringLiteral("stage"), {{QStringLiteral("stage"), m_task.command}});
    const int total = transfer.total();
    const DownloadOutcome outcome = transfer.send(
        result.port,
        [&](int done) { tell(QStringLiteral("progress"), {{QStringLiteral("done"), done}, {QStringLiteral("total"), total}}); },
        [this] { return m_stop() != 0; });
    transfer.close();
    result.accepted = transfer.accepted();
    f.accepted = result.accepted;
    const DeviceOutcome failure = transfer.failure();
    if (!failure.ok())
        tell(QStringLiteral("log"), {{QStringLiteral("text"), failure.line()}});
    result.message = transfer.message(outcome);
    result.exit = ExitStatusOf(outcome, failure, m_stop() ? m_stop() : EXIT_SIGINT);
    result.ok = outcome == DownloadOutcome::Success;
    if (!result.ok) {
        result.reason = outcome == DownloadOutcome::CannotOpenFile ? transfer.fileError()
                        : failure.ok()                             ? transfer.text()
                                                                   : failure.line();
        if (outcome == DownloadOutcome::Cancelled)
            tell(QStringLiteral("log"), {{QStringLiteral("text"), result.message}});
        return finish();
    }
    if (m_task.kind == ImageFile::Kind::Flash && !m_task.expectVersion.isEmpty())
        readVersion(result);
    return finish();
}
