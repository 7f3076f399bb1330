// The commands over HID: the version, calibration, the switch to COM mode.
#include "cli/CommandLine.h"
#include "cli/CommandSession.h"
#include "cli/ExitStatus.h"
#include "cli/Output.h"
#include "cli/StopSignal.h"
#include "operations/Calibration.h"
#include "operations/ModeSwitch.h"
#include "platform/Clock.h"

namespace {
const char* const NOT_FOUND = "Could not find the specified HID device!";
} // namespace

int CommandSession::info()
{
    int exit = 0;
    if (!haveIds(exit))
        return exit;
    if (!openHid())
        return m_out.result(EXIT_NO_CONTROLLER, QString::fromLatin1(NOT_FOUND),
                            QStringLiteral("no HID device with VID %1 and PID %2").arg(m_strVid, m_strPid));
    const QString version = m_strVersion;
    m_hid.CloseHidDevice(m_hid.m_hHid);
    flushLog();
    return m_out.result(EXIT_OK, QStringLiteral("version %1").arg(version), QString(),
                        {{QStringLiteral("version"), version}});
}

int CommandSession::calibrate()
{
    int exit = 0;
    if (!haveIds(exit))
        return exit;
    m_out.start(m_inv.command, {});
    if (!openHid())
        return m_out.result(EXIT_NO_CONTROLLER, QString::fromLatin1(NOT_FOUND),
                            QStringLiteral("no HID device with VID %1 and PID %2").arg(m_strVid, m_strPid));
    Calibration calibration(*m_platform.clock);
    const Calibration::Outcome outcome = calibration.run(m_hid.m_hHid);
    QString message = QStringLiteral("HID calibrate failed1!");
    int status = EXIT_REFUSED;
    switch (outcome) {
    case Calibration::Outcome::Succeeded:
        message = QStringLiteral("HID calibrate successfully!");
        status = EXIT_OK;
        break;
    case Calibration::Outcome::TimedOut:
        Log(QStringLiteral("HID calibrate gave no answer within %1 s!\r\n").arg(calibration.readBackTimeoutMs() / 1000));
        status = EXIT_TIMED_OUT;
        break;
    case Calibration::Outcome::ReadFailed:
    case Calibration::Outcome::WrongAnswer:
    case Calibration::Outcome::TooQuick:
        break;
    }
    Log(message + QStringLiteral("\r\n"));
    m_hid.CloseHidDevice(m_hid.m_hHid);
    flushLog();
    return m_out.result(status, message, calibration.errorText());
}

int CommandSession::switchToCom()
{
    int exit = 0;
    if (!haveIds(exit))
        return exit;
    if (!openHid()) {
        if (!Controllers::Select(Controllers::ComPorts(*m_platform.portMap), m_inv.usbPath, m_inv.serial).empty())
            return m_out.result(EXIT_OK, QStringLiteral("Already Open COM!"), QString(),
                                {{QStringLiteral("mode"), QStringLiteral("com")}});
        return m_out.result(EXIT_NO_CONTROLLER, QString::fromLatin1(NOT_FOUND),
                            QStringLiteral("no HID device with VID %1 and PID %2").arg(m_strVid, m_strPid));
    }
    m_out.start(m_inv.command, {{QStringLiteral("mode"), QStringLiteral("com")}});
    const std::int64_t start = m_platform.clock->nowMs();
    const bool sent = ModeSwitch::toCom(*m_hid.m_hHid, *m_platform.clock);
    m_hid.CloseHidDevice(m_hid.m_hHid);
    flushLog();
    if (!sent)
        return m_out.result(EXIT_REFUSED, QStringLiteral("The switch command could not be sent!"));
    QString where;
    if (waitBackInCom(start, QString(), where))
        return m_out.result(EXIT_OK, QStringLiteral("In COM mode at %1").arg(where), QString(),
                            {{QStringLiteral("mode"), QStringLiteral("com")}, {QStringLiteral("port"), where}});
    if (StopSignal::Received())
        return stopped(QStringLiteral("Stopped while waiting for the controller in COM mode"));
    return m_out.result(EXIT_TIMED_OUT,
                        QStringLiteral("The controller is not back in COM mode after %1 s").arg(SWITCH_BACK_MS / 1000));
}
