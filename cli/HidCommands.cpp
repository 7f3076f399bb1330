// The commands over HID: the version, calibration, the switch to COM mode.
#include "cli/CommandLine.h"
#include "cli/CommandSession.h"
#include "cli/ExitStatus.h"
#include "cli/Output.h"
#include "cli/StopSignal.h"
#include "operations/Calibration.h"
#include "operations/ModeSwitch.h"
#include "platform/Clock.h"

bool CommandSession::startHid(const QString& command, Controllers::HidController& picked, OperationRecord& rec,
                              Outcome& why)
{
    if (!haveIds()) {
        why = NoIds();
        return false;
    }
    if (!pickHid(picked, why))
        return false;
    Describe(rec, picked);
    rec.begin();
    m_out->start(command, {{QStringLiteral("path"), picked.path}});
    if (openHid()) {
        rec.fields().version = m_strVersion;
        return true;
    }
    why = hidNotFound(rec);
    return false;
}

int CommandSession::info() { return print(runInfo()); }

Outcome CommandSession::runInfo()
{
    Controllers::HidController picked;
    OperationRecord unrecorded(nullptr, QStringLiteral("info"));  // reading the version changes nothing
    Outcome why;
    if (!startHid(QStringLiteral("info"), picked, unrecorded, why))
        return why;
    const QString version = m_strVersion;
    m_hid.CloseHidDevice(m_hid.m_hHid);
    flushLog();
    return {EXIT_OK, QStringLiteral("version %1").arg(version), {},
            {{QStringLiteral("version"), version},
             {QStringLiteral("path"), picked.path},
             {QStringLiteral("usbPath"), picked.usbPath},
             {QStringLiteral("serial"), picked.serial}},
            {}};
}

int CommandSession::calibrate() { return print(runCalibrate()); }

Outcome CommandSession::runCalibrate()
{
    Controllers::HidController picked;
    const std::unique_ptr<OperationRecord> rec = record(QStringLiteral("calibrate"));
    Outcome why;
    if (!startHid(QStringLiteral("calibrate"), picked, *rec, why))
        return why;
    Calibration calibration(*m_platform.clock);
    const Calibration::Outcome outcome = calibration.run(m_hid.m_hHid);
    const DeviceOutcome& failure = calibration.failure();
    const bool succeeded = outcome == Calibration::Outcome::Succeeded;
    const QString message = succeeded ? QStringLiteral("HID calibrate successfully!") : QStringLiteral("HID calibrate failed1!");
    const QString reason = calibration.reason(outcome);
    const int status = ExitStatusOf(outcome, failure, !succeeded && m_hid.Present(m_strVid, m_strPid));
    // As the window's log has them: why, then the message, then the close.
    if (!failure.ok())
        Log(failure.line() + QStringLiteral("\r\n"));
    Log(message + QStringLiteral("\r\n"));
    m_hid.CloseHidDevice(m_hid.m_hHid);
    flushLog();
    return done(*rec, {status, message, reason, {}, {}});
}

int CommandSession::switchToCom() { return print(runSwitchToCom()); }

Outcome CommandSession::runSwitchToCom()
{
    if (!haveIds())
        return NoIds();
    if (onlyIn(Mode::Com))  // already where it was asked to go
        return {EXIT_OK, QStringLiteral("Already Open COM!"), {}, {{QStringLiteral("mode"), QStringLiteral("com")}}, {}};
    Controllers::HidController picked;
    Outcome why;
    if (!pickHid(picked, why))
        return why;
    const std::unique_ptr<OperationRecord> rec = record(QStringLiteral("switch-com"));
    Describe(*rec, picked);
    rec->begin();
    m_out->start(QStringLiteral("switch"),
                 {{QStringLiteral("mode"), QStringLiteral("com")}, {QStringLiteral("path"), picked.path}});
    if (!openHid())
        return hidNotFound(*rec);
    rec->fields().version = m_strVersion;
    const std::int64_t start = m_platform.clock->nowMs();
    const DeviceOutcome sent = ModeSwitch::toCom(*m_hid.m_hHid, *m_platform.clock);
    if (!sent.ok())
        Log(sent.line() + QStringLiteral("\r\n"));
    m_hid.CloseHidDevice(m_hid.m_hHid);
    flushLog();
    if (!sent.ok())
        return done(*rec, {hidExitStatus(sent), QStringLiteral("The switch command could not be sent!"), sent.line(), {}, {}});
    return finishSwitch(*rec, Mode::Com, start, picked.usbPath);
}
