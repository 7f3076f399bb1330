#include "cli/CommandSession.h"
#include "cli/CommandLine.h"
#include "cli/ExitStatus.h"
#include "cli/Output.h"
#include "cli/StopSignal.h"
#include "platform/Clock.h"
#include "serial/BaudTable.h"
#include <QStringList>
#include <algorithm>

namespace {
const char* const NOT_FOUND = "Could not find the specified HID device!";
} // namespace

CommandSession::CommandSession(const Invocation& inv, const Platform& platform, Output& out, const QString& vid,
                               const QString& pid)
    : m_inv(inv), m_platform(platform), m_out(out), m_transport(*platform.clock), m_hid(*platform.hidBus, *this)
{
    m_strVid = vid;
    m_strPid = pid;
    if (!inv.baud.isEmpty())
        m_transport.lineSettings().choose(BaudTable::settingsFor(inv.baud));
}

CommandSession::~CommandSession() = default;

int CommandSession::run()
{
    const QString& c = m_inv.command;
    if (c == QLatin1String("list"))
        return list();
    if (c == QLatin1String("flash"))
        return download(ImageFile::Kind::Flash);
    if (c == QLatin1String("eeprom"))
        return download(ImageFile::Kind::Eeprom);
    if (c == QLatin1String("status"))
        return status();
    if (c == QLatin1String("switch"))
        return m_inv.args.first() == QLatin1String("hid") ? switchToHid() : switchToCom();
    if (c == QLatin1String("info"))
        return info();
    if (c == QLatin1String("calibrate"))
        return calibrate();
    return m_out.result(EXIT_USAGE, QStringLiteral("unknown command '%1'").arg(c));
}

void CommandSession::HeldIds(QString& vid, QString& pid) const
{
    vid = m_strVid;
    pid = m_strPid;
}

void CommandSession::Log(const QString& message) { m_unsent.prepend(message); }

void CommandSession::StartLog(const QString& message)
{
    // What was logged and not shown yet goes with the log it was part of.
    m_unsent = {message};
}

void CommandSession::flushLog()
{
    // The new messages as the log holds them, newest first; each line goes
    // out as an event of its own, the log's lowest line first.
    QStringList lines = m_unsent.join(QString()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    m_unsent.clear();
    std::reverse(lines.begin(), lines.end());
    for (const QString& line : lines)
        m_out.log(line);
}

int CommandSession::stopped(const QString& message)
{
    return m_out.result(StopSignal::ExitStatus(StopSignal::Received()), message);
}

bool CommandSession::haveIds(int& exit)
{
    if (!m_strVid.isEmpty() && !m_strPid.isEmpty())
        return true;
    exit = m_out.result(EXIT_USAGE, QStringLiteral("The controller's VID and PID are not known"),
                        QStringLiteral("give --vid and --pid, or a Config.ini with them (--config FILE)"));
    return false;
}

bool CommandSession::pickPort(Controllers::ComPort& port, int& exit, const QString& notInComMode)
{
    const std::vector<Controllers::ComPort> all = Controllers::ComPorts(*m_platform.portMap);
    if (!m_inv.port.isEmpty()) {
        port.port = Controllers::ResolvePort(m_inv.port);
        // What the map knows of that port (a pty, for one, is not there).
        for (const Controllers::ComPort& p : all)
            if (p.port == port.port)
                port = p;
        return true;
    }
    const std::vector<Controllers::ComPort> picked = Controllers::Select(all, m_inv.usbPath, m_inv.serial);
    if (picked.size() == 1) {
        port = picked.front();
        return true;
    }
    if (picked.empty()) {
        // In HID mode it is told to switch, as the window tells it; with
        // nothing there at all, that is said.
        const bool inHid = !m_strVid.isEmpty() && !m_strPid.isEmpty() &&
                           !Controllers::Select(Controllers::HidControllers(*m_platform.hidBus, m_strVid, m_strPid),
                                                m_inv.usbPath, m_inv.serial)
                                .empty();
        const bool filtered = !m_inv.usbPath.isEmpty() || !m_inv.serial.isEmpty();
        if (inHid)
            exit = m_out.result(EXIT_NO_CONTROLLER, notInComMode,
                                QStringLiteral("the controller is in HID mode (morvax-tool switch com)"));
        else
            exit = m_out.result(EXIT_NO_CONTROLLER, QStringLiteral("No controller found"),
                                filtered && !all.empty()
                                    ? QStringLiteral("no controller in COM mode matches --usb-path/--serial")
                                    : QStringLiteral("no USB serial port of a controller is attached"));
        return false;
    }
    QStringList names;
    for (const Controllers::ComPort& p : picked)
        names << Controllers::Describe(p);
    exit = m_out.result(EXIT_NO_CONTROLLER,
                        QStringLiteral("%1 controllers in COM mode; pick one with --port, --usb-path or --serial")
                            .arg(picked.size()),
                        names.join(QStringLiteral("; ")));
    return false;
}

bool CommandSession::pickHid(Controllers::HidController& picked, int& exit)
{
    const std::vector<Controllers::HidController> all =
        Controllers::HidControllers(*m_platform.hidBus, m_strVid, m_strPid);
    const std::vector<Controllers::HidController> found = Controllers::Select(all, m_inv.usbPath, m_inv.serial);
    if (found.size() == 1) {
        picked = found.front();
        m_hid.acceptInterface = [picked](const HidInterface& i) { return Controllers::BelongsTo(i, picked); };
        return true;
    }
    if (found.empty()) {
        exit = m_out.result(EXIT_NO_CONTROLLER, QString::fromLatin1(NOT_FOUND),
                            all.empty() ? QStringLiteral("no HID device with VID %1 and PID %2").arg(m_strVid, m_strPid)
                                        : QStringLiteral("no controller in HID mode matches --usb-path/--serial"));
        return false;
    }
    QStringList names;
    for (const Controllers::HidController& c : found)
        names << Controllers::Describe(c);
    exit = m_out.result(EXIT_NO_CONTROLLER,
                        QStringLiteral("%1 controllers in HID mode; pick one with --usb-path or --serial")
                            .arg(found.size()),
                        names.join(QStringLiteral("; ")));
    return false;
}

void CommandSession::keepTo(const QString& usbPath)
{
    if (usbPath.isEmpty())
        m_hid.acceptInterface = nullptr;
    else
        m_hid.acceptInterface = [usbPath](const HidInterface& i) {
            return QString::fromStdString(i.usbPath) == usbPath;
        };
}

bool CommandSession::openHid()
{
    const bool found = m_hid.OpenHidDevice();
    flushLog();
    return found;
}

int CommandSession::hidNotFound()
{
    // The controller is listed but would not open (closed to this user).
    const DeviceOutcome& why = m_hid.failure();
    if (!why.ok())
        m_out.log(why.line());
    m_out.log(QString::fromLatin1(NOT_FOUND));
    return m_out.result(why.ok() ? EXIT_NO_CONTROLLER : ExitStatusOf(why), QString::fromLatin1(NOT_FOUND),
                        why.ok() ? QStringLiteral("the controller went away") : why.line());
}

int CommandSession::hidExitStatus(const DeviceOutcome& failure) const
{
    if (failure.kind() == DeviceOutcome::Kind::Gone && m_hid.Present(m_strVid, m_strPid))
        return EXIT_REFUSED;
    return failure.ok() ? EXIT_REFUSED : ExitStatusOf(failure);
}

bool CommandSession::waitBackInHid(std::int64_t startMs, const QString& usbPath, QString& where)
{
    Clock& clock = *m_platform.clock;
    keepTo(usbPath);
    while (clock.nowMs() - startMs < SWITCH_BACK_MS && !StopSignal::Received()) {
        // Enumeration first: opening is for the one that is there.
        if (!Controllers::Select(Controllers::HidControllers(*m_platform.hidBus, m_strVid, m_strPid), usbPath, {})
                 .empty() &&
            openHid()) {
            where = m_hid.m_hHid->path().empty() ? QStringLiteral("version %1").arg(m_strVersion)
                                                 : QStringLiteral("%1, version %2")
                                                       .arg(QString::fromStdString(m_hid.m_hHid->path()), m_strVersion);
            m_hid.CloseHidDevice(m_hid.m_hHid);
            flushLog();
            return true;
        }
        clock.sleepMs(SWITCH_POLL_MS);
    }
    return false;
}

bool CommandSession::waitBackInCom(std::int64_t startMs, const QString& usbPath, QString& where)
{
    Clock& clock = *m_platform.clock;
    while (clock.nowMs() - startMs < SWITCH_BACK_MS && !StopSignal::Received()) {
        const auto ports = Controllers::Select(Controllers::ComPorts(*m_platform.portMap), usbPath, QString());
        if (!ports.empty()) {
            where = ports.front().port;
            return true;
        }
        clock.sleepMs(SWITCH_POLL_MS);
    }
    return false;
}

int CommandSession::list()
{
    int found = 0;
    auto orDash = [](const QString& s) { return s.isEmpty() ? QStringLiteral("-") : s; };
    for (const Controllers::ComPort& p : Controllers::ComPorts(*m_platform.portMap)) {
        ++found;
        m_out.event(QStringLiteral("controller"), {{QStringLiteral("mode"), QStringLiteral("com")},
                                                   {QStringLiteral("port"), p.port},
                                                   {QStringLiteral("usbPath"), p.usbPath},
                                                   {QStringLiteral("serial"), p.serial}});
        m_out.note(QStringLiteral("COM  %1  usb %2  serial %3").arg(p.port, orDash(p.usbPath), orDash(p.serial)));
    }
    if (!m_strVid.isEmpty() && !m_strPid.isEmpty()) {
        for (const Controllers::HidController& c :
             Controllers::HidControllers(*m_platform.hidBus, m_strVid, m_strPid, true)) {
            ++found;
            m_out.event(QStringLiteral("controller"), {{QStringLiteral("mode"), QStringLiteral("hid")},
                                                       {QStringLiteral("path"), c.path},
                                                       {QStringLiteral("usbPath"), c.usbPath},
                                                       {QStringLiteral("serial"), c.serial},
                                                       {QStringLiteral("version"), c.version},
                                                       {QStringLiteral("error"), c.error}});
            m_out.note(QStringLiteral("HID  %1  usb %2  serial %3  %4")
                           .arg(c.path, orDash(c.usbPath), orDash(c.serial),
                                c.error.isEmpty() ? QStringLiteral("version ") + c.version : c.error));
        }
    } else {
        m_out.note(QStringLiteral("(no VID/PID: controllers in HID mode are not looked for)"));
    }
    if (found == 0)
        return m_out.result(EXIT_NO_CONTROLLER, QStringLiteral("No controller found"));
    return m_out.result(EXIT_OK, QString(), QString(), {{QStringLiteral("controllers"), found}});
}
