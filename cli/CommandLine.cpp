#include "cli/CommandLine.h"
#include "cli/CommandTable.h"
#include "serial/BaudTable.h"
#include <QRegularExpression>
#include <algorithm>
#include <map>
#include <set>

namespace {
// Options every command takes.
const std::set<QString> COMMON = {"--json", "--simulate", "--config", "--vid", "--pid"};
// Options that take a value.
const std::set<QString> VALUED = {"--port", "--usb-path", "--serial", "--vid", "--pid", "--config", "--baud",
                                  "--seconds"};

Invocation Fail(const QString& why)
{
    Invocation inv;
    inv.action = Invocation::Action::Error;
    inv.error = why;
    return inv;
}

// "2F5A", "0x2f5a" or "107" as four lower-case digits; empty when not an ID.
QString IdText(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^(0[xX])?([0-9A-Fa-f]{1,4})$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return {};
    return m.captured(2).toLower().rightJustified(4, u'0');
}
} // namespace

namespace {
Invocation Parse(const QStringList& words)
{
    Invocation inv;
    bool help = false, version = false, optionsEnded = false;
    bool bareSimulate = false;  // the word before was "--simulate" without a mode
    std::map<QString, QString> values;
    std::vector<QString> seen;  // options in the order given, for the applicability check

    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& w = words[i];
        const bool afterBareSimulate = bareSimulate;
        bareSimulate = false;
        if (!optionsEnded && w == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || !w.startsWith(u'-') || w == QLatin1String("-")) {
            if (inv.command.isEmpty()) {
                if (!FindCommand(w)) {
                    if (afterBareSimulate && (w == QLatin1String("com") || w == QLatin1String("hid")))
                        return Fail(QStringLiteral("unknown command '%1' (did you mean --simulate=%1?)").arg(w));
                    return Fail(QStringLiteral("unknown command '%1'").arg(w));
                }
                inv.command = w;
            } else {
                inv.args << w;
            }
            continue;
        }
        if (w == QLatin1String("--help") || w == QLatin1String("-h")) {
            help = true;
            continue;
        }
        if (w == QLatin1String("--version")) {
            version = true;
            continue;
        }
        if (w == QLatin1String("--json")) {
            inv.json = true;
            seen.push_back(w);
            continue;
        }
        if (w == QLatin1String("--simulate") || w.startsWith(QLatin1String("--simulate="))) {
            const QString mode = w == QLatin1String("--simulate") ? QStringLiteral("com") : w.mid(11);
            if (mode != QLatin1String("com") && mode != QLatin1String("hid"))
                return Fail(QStringLiteral("--simulate takes com or hid, not '%1'").arg(mode));
            inv.simulate = mode == QLatin1String("hid") ? Invocation::Simulate::Hid : Invocation::Simulate::Com;
            bareSimulate = w == QLatin1String("--simulate");
            seen.push_back(QStringLiteral("--simulate"));
            continue;
        }
        const qsizetype eq = w.indexOf(u'=');
        const QString name = eq < 0 ? w : w.left(eq);
        if (!VALUED.count(name))
            return Fail(QStringLiteral("unknown option '%1'").arg(name));
        QString value;
        if (eq >= 0) {
            value = w.mid(eq + 1);
        } else {
            if (i + 1 >= words.size())
                return Fail(QStringLiteral("%1 needs a value").arg(name));
            value = words[++i];
        }
        if (value.isEmpty())
            return Fail(QStringLiteral("%1 needs a value").arg(name));
        values[name] = value;
        seen.push_back(name);
    }

    if (help) {
        inv.action = Invocation::Action::Help;
        return inv;
    }
    if (version) {
        inv.action = Invocation::Action::Version;
        return inv;
    }
    if (inv.command.isEmpty()) {
        // The window takes --simulate and nothing else.
        for (const QString& o : seen)
            if (o != QLatin1String("--simulate"))
                return Fail(QStringLiteral("%1 needs a command (see --help)").arg(o));
        inv.action = Invocation::Action::Window;
        return inv;
    }
    inv.action = Invocation::Action::Command;

    const Command& shape = *FindCommand(inv.command);
    for (const QString& o : seen)
        if (!COMMON.count(o) && !shape.options.contains(o))
            return Fail(QStringLiteral("%1 does not apply to %2").arg(o, inv.command));
    // "d|n|z|$" for a word of a few choices, "a FILE" for any.
    const QString wanted = shape.choices ? QString::fromLatin1(shape.choices).replace(u' ', u'|') : QStringLiteral("a FILE");
    if (inv.args.size() != shape.words) {
        if (shape.words == 0)
            return Fail(QStringLiteral("%1 takes no argument, not '%2'").arg(inv.command, inv.args.first()));
        if (inv.args.isEmpty())
            return Fail(QStringLiteral("%1 needs %2").arg(inv.command, wanted));
        return Fail(QStringLiteral("%1 takes one argument, not '%2'").arg(inv.command, inv.args.join(u' ')));
    }
    if (shape.choices && !wanted.split(u'|').contains(inv.args.first()))
        return Fail(QStringLiteral("%1 takes %2, not '%3'").arg(inv.command, wanted, inv.args.first()));

    for (const auto& [name, value] : values) {
        if (name == QLatin1String("--port"))
            inv.port = value;
        else if (name == QLatin1String("--usb-path"))
            inv.usbPath = value;
        else if (name == QLatin1String("--serial"))
            inv.serial = value;
        else if (name == QLatin1String("--config"))
            inv.config = value;
        else if (name == QLatin1String("--vid") || name == QLatin1String("--pid")) {
            const QString id = IdText(value);
            if (id.isEmpty())
                return Fail(QStringLiteral("%1 takes up to four hex digits, not '%2'").arg(name, value));
            (name == QLatin1String("--vid") ? inv.vid : inv.pid) = id;
        } else if (name == QLatin1String("--baud")) {
            bool listed = false;
            for (int i = 0; i < BaudTable::COUNT; ++i)
                listed = listed || value == QLatin1String(BaudTable::entry(i));
            if (!listed)
                return Fail(QStringLiteral("--baud takes one of 9600, 38400, 115200, 128000, 230400, 256000, "
                                           "460800, not '%1'")
                                .arg(value));
            inv.baud = value;
        } else if (name == QLatin1String("--seconds")) {
            bool ok = false;
            inv.seconds = value.toInt(&ok);
            if (!ok || inv.seconds < 1 || inv.seconds > 3600)
                return Fail(QStringLiteral("--seconds takes a whole number from 1 to 3600, not '%1'").arg(value));
        }
    }
    if (!inv.port.isEmpty() && (!inv.usbPath.isEmpty() || !inv.serial.isEmpty()))
        return Fail(QStringLiteral("--port names the port itself; give it without --usb-path and --serial"));
    return inv;
}

} // namespace

Invocation ParseCommandLine(const QStringList& words)
{
    Invocation inv = Parse(words);
    // A script that asked for JSON gets its result event even when the
    // words are wrong before --json is reached.
    if (inv.action == Invocation::Action::Error)
        inv.json = words.contains(QStringLiteral("--json"));
    return inv;
}

namespace {
// The commands as --help lists them: the synopsis in a column of its own,
// each line of its help beside it, or under it when the synopsis is long.
QString CommandsHelp()
{
    constexpr int COLUMN = 24;
    QString out = QStringLiteral("Commands:\n");
    for (const Command& c : Commands()) {
        const QString synopsis = QStringLiteral("  ") + QLatin1String(c.synopsis);
        const QStringList lines = QString::fromLatin1(c.help).split(u'\n');
        const bool own = synopsis.size() >= COLUMN - 1;
        out += own ? synopsis + u'\n' : synopsis.leftJustified(COLUMN);
        for (qsizetype i = 0; i < lines.size(); ++i)
            out += ((i > 0 || own) ? QString(COLUMN, u' ') : QString()) + lines[i] + u'\n';
    }
    return out;
}
} // namespace

QString HelpText()
{
    return QStringLiteral(R"(Usage: morvax-tool [--simulate[=com|hid]]
       morvax-tool COMMAND [OPTIONS] [ARGS]

Without a command, opens the window. A command runs without a window and
needs no display.

)") + CommandsHelp() +
           QStringLiteral(R"(
Options:
  --simulate[=com|hid]  run on the simulated controller, starting in COM
                        (default) or HID mode; the mode only with "="
  --port PATH           the serial port (a name such as ttyACM0 or a path;
                        links such as /dev/serial/by-id/... are followed)
  --usb-path P          the controller at this USB path (such as 1-1.2)
  --serial S            the controller with this serial number
  --vid HEX, --pid HEX  the controller's IDs (instead of Config.ini)
  --config FILE         read VID and PID from FILE instead of Config.ini (the
                        working directory's, else ~/.config/morvax-tool/'s)
  --baud RATE           serial rate: 9600, 38400, 115200, 128000, 230400,
                        256000 or 460800 (default)
  --seconds N           how long status reads at most (default 10)
  --json                one JSON object a line on stdout: start, progress,
                        log and result events
  -h, --help            this text
  --version             the version

With several controllers attached and none picked, a command refuses and
lists them. Progress goes to stderr, results to stdout. SIGINT and SIGTERM
stop a download after the record in flight and close the port.

Exit status:
  0    success
  1    the controller refused or failed (wrong answer, too few lines,
       calibration failed)
  2    usage error or bad image file
  3    no controller, the port or device cannot be opened, or several
       controllers and none picked
  4    timed out (no answer, the controller took no data, not back after
       a switch)
  5    the controller vanished during the operation
  130  stopped by SIGINT
  143  stopped by SIGTERM
)");
}
