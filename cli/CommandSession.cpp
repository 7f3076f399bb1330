#include "cli/CommandSession.h"
#include "cli/CommandLine.h"
#include "cli/ExitStatus.h"
#include "cli/Output.h"
#include "cli/StopSignal.h"
#include "journal/Journal.h"
#include "platform/Clock.h"
#include "serial/BaudTable.h"
#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>

namespace {
const char* const NOT_FOUND = "Could not find the specified HID device!";
} // namespace

CommandSession::CommandSession(const Invocation& inv, const Platform& platform, Output& out, const QString& vid,
                               const QString& pid)
    : m_inv(inv), m_platform(platform), m_out(&out), m_pick{inv.port, inv.usbPath, inv.serial},
      m_transport(*platform.clock), m_hid(*platform.hidBus, *this)
{
    m_strVid = vid;
    m_strPid = pid;
    if (!inv.baud.isEmpty())
        m_transport.lineSettings().choose(BaudTable::settingsFor(inv.baud));
}

CommandSession::~CommandSession() = default;

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
        m_out->log(line);
}

int CommandSession::print(const Outcome& outcome)
{
    const int status = m_out->result(outcome.exit, outcome.message, outcome.reason, outcome.fields);
    if (!outcome.note.isEmpty())
        m_out->note(outcome.note);
    return status;
}

Outcome CommandSession::Stopped(const QString& message)
{
    return {StopSignal::ExitStatus(StopSignal::Received()), message, {}, {}, {}};
}

Outcome CommandSession::done(OperationRecord& rec, Outcome outcome)
{
    using Result = OperationRecord::Result;
    const int exit = outcome.exit;
    rec.finish(exit == EXIT_OK                                  ? Result::Ok
               : exit == EXIT_SIGINT || exit == EXIT_SIGTERM ? Result::Cancelled
                                                             : Result::Failed,
               exit, outcome.message, outcome.reason);
    if (m_journal) {
        // What the journal has to say about it comes before the result,
        // which is always the last thing a command prints.
        m_journal->drain(JOURNAL_WAIT_MS);
        QCoreApplication::sendPostedEvents();
    }
    return outcome;
}

std::unique_ptr<OperationRecord> CommandSession::record(const QString& command) const
{
    auto rec = std::make_unique<OperationRecord>(m_journal, command);
    rec->fields().vid = JournalRecord::Id(m_strVid);
    rec->fields().pid = JournalRecord::Id(m_strPid);
    return rec;
}

void CommandSession::Describe(OperationRecord& rec, const Controllers::ComPort& port)
{
    rec.fields().port = port.port;
    rec.fields().usbPath = port.usbPath;
    rec.fields().serial = port.serial;
    inSlot(rec, port.usbPath);
}

void CommandSession::Describe(OperationRecord& rec, const Controllers::HidController& controller)
{
    rec.fields().usbPath = controller.usbPath;
    rec.fields().serial = controller.serial;
    inSlot(rec, controller.usbPath);
}

void CommandSession::inSlot(OperationRecord& rec, const QString& usbPath)
{
    rec.fields().slot = usbPath.isEmpty() ? QString() : m_slots.slotAt(usbPath);
    m_out->setSlot(rec.fields().slot);
}

Outcome CommandSession::NoIds()
{
    return {EXIT_USAGE, QStringLiteral("The controller's VID and PID are not known"),
            QStringLiteral("give --vid and --pid, or a Config.ini with them (--config FILE)"), {}, {}};
}

template <class C>
bool CommandSession::pickOne(const std::vector<C>& found, C& picked, Outcome& why, Mode mode, const QString& pickBy,
                             const std::function<Outcome()>& none)
{
    if (found.size() == 1) {
        picked = found.front();
        return true;
    }
    if (found.empty()) {
        why = none();
        return false;
    }
    QStringList names;
    for (const C& c : found)
        names << Controllers::Describe(c);
    why = {EXIT_NO_CONTROLLER,
           QStringLiteral("%1 controllers in %2 mode; pick one with %3")
               .arg(found.size())
               .arg(mode == Mode::Com ? QStringLiteral("COM") : QStringLiteral("HID"), pickBy),
           names.join(QStringLiteral("; ")), {}, {}};
    return false;
}

bool CommandSession::pickPort(Controllers::ComPort& port, Outcome& why, const QString& notInComMode)
{
    const std::vector<Controllers::ComPort> all = Controllers::ComPorts(*m_platform.portMap);
    if (!m_pick.port.isEmpty()) {
        port.port = Controllers::ResolvePort(m_pick.port);
        // What the map knows of that port (a pty, for one, is not there).
        for (const Controllers::ComPort& p : all)
            if (p.port == port.port)
                port = p;
        return true;
    }
    return pickOne(Controllers::Select(all, m_pick.usbPath, m_pick.serial), port, why, Mode::Com,
                   QStringLiteral("--port, --usb-path or --serial"), [&]() -> Outcome {
                       // In HID mode it is told to switch, as the window tells it; with
                       // nothing there at all, that is said.
                       const bool inHid = haveIds() &&
                                          !Controllers::Select(Controllers::HidControllers(*m_platform.hidBus, m_strVid,
                                                                                           m_strPid),
                                                               m_pick.usbPath, m_pick.serial)
                                               .empty();
                       if (inHid)
                           return {EXIT_NO_CONTROLLER, notInComMode,
                                   QStringLiteral("the controller is in HID mode (morvax-tool switch com)"), {}, {}};
                       const bool filtered = !m_pick.usbPath.isEmpty() || !m_pick.serial.isEmpty();
                       return {EXIT_NO_CONTROLLER, QStringLiteral("No controller found"),
                               filtered && !all.empty()
                                   ? QStringLiteral("no controller in COM mode matches --usb-path/--serial")
                                   : QStringLiteral("no USB serial port of a controller is attached"),
                               {}, {}};
                   });
}

bool CommandSession::pickHid(Controllers::HidController& picked, Outcome& why)
{
    const std::vector<Controllers::HidController> all =
        Controllers::HidControllers(*m_platform.hidBus, m_strVid, m_strPid);
    if (!pickOne(Controllers::Select(all, m_pick.usbPath, m_pick.serial), picked, why, Mode::Hid,
                 QStringLiteral("--usb-path or --serial"), [&]() -> Outcome {
                     return {EXIT_NO_CONTROLLER, QString::fromLatin1(NOT_FOUND),
                             all.empty() ? QStringLiteral("no HID device with VID %1 and PID %2").arg(m_strVid, m_strPid)
                                         : QStringLiteral("no controller in HID mode matches --usb-path/--serial"),
                             {}, {}};
                 }))
        return false;
    m_hid.acceptInterface = [picked](const HidInterface& i) { return Controllers::BelongsTo(i, picked); };
    return true;
}

bool CommandSession::onlyIn(Mode mode)
{
    const bool inHid =
        !Controllers::Select(Controllers::HidControllers(*m_platform.hidBus, m_strVid, m_strPid), m_pick.usbPath,
                             m_pick.serial)
             .empty();
    const bool inCom =
        !Controllers::Select(Controllers::ComPorts(*m_platform.portMap), m_pick.usbPath, m_pick.serial).empty();
    return mode == Mode::Hid ? inHid && !inCom : inCom && !inHid;
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

Outcome CommandSession::hidNotFound(OperationRecord& rec)
{
    // The controller is listed but would not open (closed to this user).
    const DeviceOutcome& why = m_hid.failure();
    if (!why.ok())
        m_out->log(why.line());
    m_out->log(QString::fromLatin1(NOT_FOUND));
    return done(rec, {why.ok() ? EXIT_NO_CONTROLLER : ExitStatusOf(why), QString::fromLatin1(NOT_FOUND),
                      why.ok() ? QStringLiteral("the controller went away") : why.line(), {}, {}});
}

int CommandSession::hidExitStatus(const DeviceOutcome& failure) const
{
    return HidExitStatus(failure, m_hid.Present(m_strVid, m_strPid));
}

bool CommandSession::backIn(Mode mode, const QString& usbPath, QString& where)
{
    if (mode == Mode::Com) {
        const auto ports = Controllers::Select(Controllers::ComPorts(*m_platform.portMap), usbPath, QString());
        if (!ports.empty())
            where = ports.front().port;
        return !ports.empty();
    }
    // Enumeration first: opening is for the one that is there.
    keepTo(usbPath);
    if (Controllers::Select(Controllers::HidControllers(*m_platform.hidBus, m_strVid, m_strPid), usbPath, {})
            .empty() ||
        !openHid())
        return false;
    const QString path = QString::fromStdString(m_hid.m_hHid->path());
    where = path.isEmpty() ? QStringLiteral("version %1").arg(m_strVersion)
                           : QStringLiteral("%1, version %2").arg(path, m_strVersion);
    m_hid.CloseHidDevice(m_hid.m_hHid);
    flushLog();
    return true;
}

bool CommandSession::waitBack(Mode mode, std::int64_t startMs, const QString& usbPath, QString& where)
{
    Clock& clock = *m_platform.clock;
    while (clock.nowMs() - startMs < SWITCH_BACK_MS && !StopSignal::Received()) {
        if (backIn(mode, usbPath, where))
            return true;
        clock.sleepMs(SWITCH_POLL_MS);
    }
    return false;
}

Outcome CommandSession::finishSwitch(OperationRecord& rec, Mode mode, std::int64_t startMs, const QString& usbPath)
{
    const QString name = mode == Mode::Com ? QStringLiteral("COM") : QStringLiteral("HID");
    QString where;
    if (waitBack(mode, startMs, usbPath, where)) {
        const double seconds = (m_platform.clock->nowMs() - startMs) / 1000.0;
        Output::Fields fields{{QStringLiteral("mode"), name.toLower()}};
        if (mode == Mode::Com)
            fields.push_back({QStringLiteral("port"), rec.fields().port = where});
        else
            fields.push_back({QStringLiteral("version"), rec.fields().version = m_strVersion});
        fields.push_back({QStringLiteral("seconds"), seconds});
        return done(rec, {EXIT_OK, QStringLiteral("In %1 mode at %2").arg(name, where), {}, fields, {}});
    }
    if (StopSignal::Received())
        return done(rec, Stopped(QStringLiteral("Stopped while waiting for the controller in %1 mode").arg(name)));
    return done(rec, {EXIT_TIMED_OUT,
                      QStringLiteral("The controller is not back in %1 mode after %2 s").arg(name).arg(SWITCH_BACK_MS / 1000),
                      {}, {}, {}});
}

int CommandSession::list()
{
    int found = 0;
    auto orDash = [](const QString& s) { return s.isEmpty() ? QStringLiteral("-") : s; };
    for (const Controllers::ComPort& p : Controllers::ComPorts(*m_platform.portMap)) {
        ++found;
        m_out->event(QStringLiteral("controller"), {{QStringLiteral("mode"), QStringLiteral("com")},
                                                   {QStringLiteral("port"), p.port},
                                                   {QStringLiteral("usbPath"), p.usbPath},
                                                   {QStringLiteral("serial"), p.serial}});
        m_out->note(QStringLiteral("COM  %1  usb %2  serial %3").arg(p.port, orDash(p.usbPath), orDash(p.serial)));
    }
    if (!m_strVid.isEmpty() && !m_strPid.isEmpty()) {
        for (const Controllers::HidController& c :
             Controllers::HidControllers(*m_platform.hidBus, m_strVid, m_strPid, true)) {
            ++found;
            m_out->event(QStringLiteral("controller"), {{QStringLiteral("mode"), QStringLiteral("hid")},
                                                       {QStringLiteral("path"), c.path},
                                                       {QStringLiteral("usbPath"), c.usbPath},
                                                       {QStringLiteral("serial"), c.serial},
                                                       {QStringLiteral("version"), c.version},
                                                       {QStringLiteral("error"), c.error}});
            m_out->note(QStringLiteral("HID  %1  usb %2  serial %3  %4")
                           .arg(c.path, orDash(c.usbPath), orDash(c.serial),
                                c.error.isEmpty() ? QStringLiteral("version ") + c.version : c.error));
        }
    } else {
        m_out->note(QStringLiteral("(no VID/PID: controllers in HID mode are not looked for)"));
    }
    if (found == 0)
        return m_out->result(EXIT_NO_CONTROLLER, QStringLiteral("No controller found"));
    return m_out->result(EXIT_OK, QString(), QString(), {{QStringLiteral("controllers"), found}});
}

Outcome CommandSession::findController(Found& found)
{
    if (!m_pick.port.isEmpty()) {
        // The port names the controller in COM mode; what the map knows of
        // it, or, for a port the map does not list (a pseudo-terminal), that
        // it is there.
        Controllers::ComPort port;
        Outcome why;
        pickPort(port, why, QString());
        const QString device = port.port.contains(u'/') ? port.port : QStringLiteral("/dev/") + port.port;
        const bool listed = !port.usbPath.isEmpty() || !port.serial.isEmpty();
        if (!listed && !QFileInfo::exists(device))
            return {EXIT_NO_CONTROLLER, QStringLiteral("No controller found"),
                    QStringLiteral("%1: no such port (in HID mode the controller has none: pick it with --usb-path or "
                                   "--serial)")
                        .arg(port.port),
                    {}, {}};
        found = {Mode::Com, port, {}};
        return {};
    }
    if (!haveIds())
        return NoIds();
    std::vector<Found> all;
    for (const Controllers::ComPort& p :
         Controllers::Select(Controllers::ComPorts(*m_platform.portMap), m_pick.usbPath, m_pick.serial))
        all.push_back({Mode::Com, p, {}});
    for (const Controllers::HidController& c :
         Controllers::Select(Controllers::HidControllers(*m_platform.hidBus, m_strVid, m_strPid), m_pick.usbPath,
                             m_pick.serial)) {
        // A controller on its way between two modes may show in both.
        const bool both = !c.usbPath.isEmpty() && std::any_of(all.begin(), all.end(), [&c](const Found& f) {
            return f.mode == Mode::Com && f.port.usbPath == c.usbPath;
        });
        if (!both)
            all.push_back({Mode::Hid, {}, c});
    }
    if (all.size() == 1) {
        found = all.front();
        return {};
    }
    const bool filtered = !m_pick.usbPath.isEmpty() || !m_pick.serial.isEmpty();
    if (all.empty())
        return {EXIT_NO_CONTROLLER, QStringLiteral("No controller found"),
                filtered ? QStringLiteral("no controller in COM or HID mode matches --usb-path/--serial")
                         : QStringLiteral("no USB serial port of a controller and no HID device with VID %1 and PID %2")
                               .arg(m_strVid, m_strPid),
                {}, {}};
    QStringList names;
    for (const Found& f : all)
        names << (f.mode == Mode::Com ? Controllers::Describe(f.port) : Controllers::Describe(f.hid));
    return {EXIT_NO_CONTROLLER, QStringLiteral("%1 controllers attached").arg(all.size()),
            QStringLiteral("pick one with --port, --usb-path or --serial: ") + names.join(QStringLiteral("; ")), {}, {}};
}
