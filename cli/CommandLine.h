#pragma once
#include <QString>
#include <QStringList>

// What the words after the program's name ask for, read before anything
// else of the program exists (no application object, no display). One
// grammar for the window and the commands:
//
//   morvax-tool [--simulate[=com|hid]]            the window
//   morvax-tool COMMAND [OPTIONS] [ARGS]          a command, no window system
//
// Options may stand before or after the command word; "--" ends them.
// Options that take a value take it as "--port X" or "--port=X", except
// --simulate, whose mode is only ever given with "=".
struct Invocation {
    enum class Action {
        Window,   // open the window
        Help,     // print HelpText(), exit 0
        Version,  // print the version, exit 0
        Command,  // run `command`
        Error,    // usage error: print `error`, exit 2
    };
    enum class Simulate { No, Com, Hid };

    Action action = Action::Window;
    QString command;    // list, info, flash, eeprom, switch, status, calibrate, selftest, udev-rule, history
    QStringList args;   // the command's own words (FILE, hid|com, d|n|z|$)
    Simulate simulate = Simulate::No;
    bool json = false;
    QString port;       // --port, as given
    QString usbPath;    // --usb-path
    QString serial;     // --serial
    QString vid, pid;   // --vid/--pid as four lower-case hex digits; empty when not given
    QString config;     // --config FILE
    QString baud;       // --baud, an entry of the baud list ("460800"); empty when not given
    int seconds = 10;   // --seconds, for status
    QString sha256;     // --sha256, lower case: the digest the image must have
    bool all = false;       // --all: every controller attached (a station run)
    QStringList slotNames;  // --slots A1,A3: these slots (a station run)
    bool watch = false;     // --watch: every controller plugged in, until a signal
    // selftest: the images its downloads send (empty: that step is skipped),
    // and the JUnit file it writes. flash and selftest: the version the
    // controller must have after the flash ("0x213", as info shows it; empty
    // when not given).
    QString image, eeprom, expectVersion, junit;
    // The journal: where (--history), and who writes (--station, --operator).
    QString history, station, operatorName;
    // history's filters and forms.
    qint64 sinceMs = 0; // --since, in ms since the epoch (UTC); 0 when not given
    QString result;     // --result
    int limit = -1;     // --limit; -1 every record
    bool csv = false;   // --csv: history as CSV, status d and n reports as CSV rows
    QString error;      // with Error: one line, without the program's name
};

// Reads the words after the program's name.
Invocation ParseCommandLine(const QStringList& words);

// The commands, options and exit statuses, for --help.
QString HelpText();
