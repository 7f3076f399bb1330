#include "cli/CommandLine.h"
#include "cli/CommandTable.h"
#include "hid/HidText.h"
#include "journal/JournalRecord.h"
#include "serial/BaudTable.h"
#include <QRegularExpression>
#include <functional>
#include <vector>

namespace {
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

// A whole number from lo to hi into to, or why not.
QString Number(const char* name, const QString& value, int lo, int hi, int& to)
{
    bool ok = false;
    to = value.toInt(&ok);
    if (ok && to >= lo && to <= hi)
        return {};
    return QStringLiteral("%1 takes a whole number from %2 to %3, not '%4'")
        .arg(QLatin1String(name))
        .arg(lo)
        .arg(hi)
        .arg(value);
}

// An option: its name, whether every command takes it, and, for one that
// takes a value, what it does with it (returning why not, or nothing).
struct Option {
    const char* name;
    bool common;
    std::function<QString(Invocation& inv, const QString& value)> take;  // null: a flag
};

const std::vector<Option>& Options()
{
    auto text = [](QString Invocation::*member) {
        return [member](Invocation& inv, const QString& v) {
            inv.*member = v;
            return QString();
        };
    };
    auto id = [](QString Invocation::*member, const char* name) {
        return [member, name](Invocation& inv, const QString& v) {
            inv.*member = IdText(v);
            return (inv.*member).isEmpty()
                       ? QStringLiteral("%1 takes up to four hex digits, not '%2'").arg(QLatin1String(name), v)
                       : QString();
        };
    };
    static const std::vector<Option> options = {
        {"--json", true, nullptr},
        {"--simulate", true, nullptr},
        {"--config", true, text(&Invocation::config)},
        {"--vid", true, id(&Invocation::vid, "--vid")},
        {"--pid", true, id(&Invocation::pid, "--pid")},
        {"--history", true, text(&Invocation::history)},
        {"--station", true, text(&Invocation::station)},
        {"--operator", true, text(&Invocation::operatorName)},
        {"--port", false, text(&Invocation::port)},
        {"--usb-path", false, text(&Invocation::usbPath)},
        {"--serial", false, text(&Invocation::serial)},
        {"--baud", false,
         [](Invocation& inv, const QString& v) {
             for (int i = 0; i < BaudTable::COUNT; ++i)
                 if (v == QLatin1String(BaudTable::entry(i))) {
                     inv.baud = v;
                     return QString();
                 }
             return QStringLiteral("--baud takes one of 9600, 38400, 115200, 128000, 230400, 256000, 460800, not '%1'")
                 .arg(v);
         }},
        {"--seconds", false, [](Invocation& inv, const QString& v) { return Number("--seconds", v, 1, 3600, inv.seconds); }},
        {"--sha256", false,
         [](Invocation& inv, const QString& v) {
             static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{64}$"));
             inv.sha256 = v.toLower();
             return hex.match(v).hasMatch() ? QString()
                                            : QStringLiteral("--sha256 takes 64 hex digits, not '%1'").arg(v);
         }},
        {"--since", false,
         [](Invocation& inv, const QString& v) {
             std::int64_t ms = 0;
             if (!JournalRecord::ParseTime(v, ms))
                 return QStringLiteral("--since takes a UTC date or time such as 2026-12-07 or "
                                       "2026-12-07T08:15:02Z, not '%1'")
                     .arg(v);
             inv.sinceMs = ms;
             return QString();
         }},
        {"--result", false,
         [](Invocation& inv, const QString& v) {
             static const QStringList RESULTS = {"ok", "failed", "cancelled", "interrupted", "running"};
             inv.result = v;
             return RESULTS.contains(v)
                        ? QString()
                        : QStringLiteral("--result takes one of %1, not '%2'").arg(RESULTS.join(QStringLiteral(", ")), v);
         }},
        {"--limit", false, [](Invocation& inv, const QString& v) { return Number("--limit", v, 1, 100000000, inv.limit); }},
        {"--csv", false, nullptr},
        {"--all", false, nullptr},
        {"--watch", false, nullptr},
        {"--slots", false,
         [](Invocation& inv, const QString& v) {
             inv.slotNames = v.split(u',', Qt::SkipEmptyParts);
             return inv.slotNames.isEmpty() ? QStringLiteral("--slots takes slot names, such as A1,A3") : QString();
         }},
        {"--image", false, text(&Invocation::image)},
        {"--eeprom", false, text(&Invocation::eeprom)},
        {"--junit", false, text(&Invocation::junit)},
        {"--expect-version", false,
         [](Invocation& inv, const QString& v) {
             // As info shows it ("0x213"); "213" and "0213" name the same.
             static const QRegularExpression re(QStringLiteral("^(0[xX])?([0-9A-Fa-f]{1,4})$"));
             const QRegularExpressionMatch m = re.match(v);
             if (!m.hasMatch())
                 return QStringLiteral("--expect-version takes up to four hex digits, as info shows the version "
                                       "(0x213), not '%1'")
                     .arg(v);
             inv.expectVersion = HidText::VersionText(static_cast<std::uint16_t>(m.captured(2).toUInt(nullptr, 16)));
             return QString();
         }},
    };
    return options;
}

const Option* FindOption(const QString& name)
{
    for (const Option& o : Options())
        if (name == QLatin1String(o.name))
            return &o;
    return nullptr;
}

Invocation Parse(const QStringList& words)
{
    Invocation inv;
    bool help = false, version = false, optionsEnded = false;
    bool bareSimulate = false;  // the word before was "--simulate" without a mode
    std::vector<std::pair<const Option*, QString>> given;  // in the order given

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
        if (w == QLatin1String("--simulate") || w.startsWith(QLatin1String("--simulate="))) {
            const QString mode = w == QLatin1String("--simulate") ? QStringLiteral("com") : w.mid(11);
            if (mode != QLatin1String("com") && mode != QLatin1String("hid"))
                return Fail(QStringLiteral("--simulate takes com or hid, not '%1'").arg(mode));
            inv.simulate = mode == QLatin1String("hid") ? Invocation::Simulate::Hid : Invocation::Simulate::Com;
            bareSimulate = w == QLatin1String("--simulate");
            given.emplace_back(FindOption(QStringLiteral("--simulate")), QString());
            continue;
        }
        const qsizetype eq = w.indexOf(u'=');
        const QString name = eq < 0 ? w : w.left(eq);
        const Option* option = FindOption(name);
        if (!option)
            return Fail(QStringLiteral("unknown option '%1'").arg(name));
        if (!option->take) {  // a flag
            if (eq >= 0)
                return Fail(QStringLiteral("%1 takes no value").arg(name));
            inv.json = inv.json || name == QLatin1String("--json");
            inv.csv = inv.csv || name == QLatin1String("--csv");
            inv.all = inv.all || name == QLatin1String("--all");
            inv.watch = inv.watch || name == QLatin1String("--watch");
            given.emplace_back(option, QString());
            continue;
        }
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
        given.emplace_back(option, value);
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
        for (const auto& [option, value] : given)
            if (option->name != QLatin1String("--simulate"))
                return Fail(QStringLiteral("%1 needs a command (see --help)").arg(QLatin1String(option->name)));
        inv.action = Invocation::Action::Window;
        return inv;
    }
    inv.action = Invocation::Action::Command;

    const Command& shape = *FindCommand(inv.command);
    for (const auto& [option, value] : given)
        if (!option->common && !shape.options.contains(QLatin1String(option->name)))
            return Fail(QStringLiteral("%1 does not apply to %2").arg(QLatin1String(option->name), inv.command));
    // "d|n|z|$" for a word of a few choices, "a FILE" for any.
    const QString wanted =
        shape.choices ? QString::fromLatin1(shape.choices).replace(u' ', u'|') : QStringLiteral("a FILE");
    const qsizetype fewest = shape.words == Command::Words::One ? 1 : 0;
    const qsizetype most = shape.words == Command::Words::None ? 0 : 1;
    if (inv.args.size() < fewest || inv.args.size() > most) {
        if (most == 0)
            return Fail(QStringLiteral("%1 takes no argument, not '%2'").arg(inv.command, inv.args.first()));
        if (inv.args.isEmpty())
            return Fail(QStringLiteral("%1 needs %2").arg(inv.command, wanted));
        return Fail(QStringLiteral("%1 takes one argument, not '%2'").arg(inv.command, inv.args.join(u' ')));
    }
    if (shape.choices && !inv.args.isEmpty() && !wanted.split(u'|').contains(inv.args.first()))
        return Fail(QStringLiteral("%1 takes %2, not '%3'").arg(inv.command, wanted, inv.args.first()));

    for (const auto& [option, value] : given)
        if (option->take)
            if (const QString why = option->take(inv, value); !why.isEmpty())
                return Fail(why);
    if (!inv.port.isEmpty() && (!inv.usbPath.isEmpty() || !inv.serial.isEmpty()))
        return Fail(QStringLiteral("--port names the port itself; give it without --usb-path and --serial"));
    if (inv.json && inv.csv)
        return Fail(QStringLiteral("--csv and --json are two forms of one output; give one"));
    // A station run picks its controllers itself.
    const int stations = int(inv.all) + int(!inv.slotNames.isEmpty()) + int(inv.watch);
    if (stations > 1)
        return Fail(QStringLiteral("--all, --slots and --watch are three ways to pick controllers; give one"));
    if (stations == 1 && (!inv.port.isEmpty() || !inv.usbPath.isEmpty() || !inv.serial.isEmpty()))
        return Fail(QStringLiteral("%1 picks the controllers itself; give it without --port, --usb-path and --serial")
                        .arg(inv.all ? QStringLiteral("--all") : inv.watch ? QStringLiteral("--watch") : QStringLiteral("--slots")));
    if (inv.csv && inv.command == QLatin1String("status") && inv.args.first() != QLatin1String("d") &&
        inv.args.first() != QLatin1String("n"))
        return Fail(QStringLiteral("--csv takes the status reports of d and n; %1 has none").arg(inv.args.first()));
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
  --csv                 status d|n: the reports as CSV on stdout
                        (time_utc,ms,v1..v6; a short line leaves its
                        last cells empty)
  --sha256 HEX          flash, eeprom: the image must have this SHA-256
  --history TARGET      the journal: a file, a postgresql:// URL, or off
                        (default: MORVAX_HISTORY, else [History] Url= in
                        Config.ini, else ~/.local/state/morvax-tool/history.db)
  --station NAME        the station the journal names (default: [History]
                        Station=, else the host name)
  --operator NAME       the operator the journal names (default: the user)
  --all, --slots A1,A3, --watch
                        flash, eeprom: every controller attached, these
                        slots of [Slots] in Config.ini, or every controller
                        plugged in until a stop signal, each on its own
                        port at once
  --since WHEN, --result R, --limit N, --csv
                        history: records since a UTC date or time, of one
                        result, the newest N, as CSV
  --image FILE, --eeprom FILE
                        selftest: the flash and EEPROM images to download
                        (without them, those steps are skipped)
  --expect-version V    flash, selftest: the version the controller must
                        show after the flash (0x213; 213 and 0213 are the
                        same)
  --junit FILE          selftest: write the steps as a JUnit XML file
  --json                one JSON object a line on stdout: start, progress,
                        log, report and result events (selftest: step
                        events and the result)
  -h, --help            this text
  --version             the version

With several controllers attached and none picked, a command refuses and
lists them. Progress goes to stderr, results to stdout. SIGINT and SIGTERM
stop a download after the record in flight and close the port.

The journal's seals (history verify) show an edited, deleted or inserted
record; they are tamper-evident, not a signature.

Exit status:
  0    success; selftest: every step that ran passed
  1    the controller refused or failed (wrong answer, too few lines,
       calibration failed); history verify: a broken seal; selftest: a
       step from 2 on failed, whatever the cause
  2    usage error or bad image file; selftest: also a --junit file that
       cannot be written
  3    no controller, the port or device cannot be opened, or several
       controllers and none picked; history: the journal cannot be read;
       history sync: the line's database refuses or cannot be reached;
       selftest: step 1 found no controller, or several
  4    timed out (no answer, the controller took no data, not back after
       a switch); history sync: the line's database did not answer in 3 s
  5    the controller vanished during the operation
  6    a station run (--all, --slots): at least one slot failed
  130  stopped by SIGINT (selftest: SELFTEST STOPPED at the step)
  143  stopped by SIGTERM
)");
}
