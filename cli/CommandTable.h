#pragma once
#include <QStringList>
#include <vector>

struct Invocation;
class Output;
class CommandSession;

// What a command has at hand when it runs: the words it was given, where it
// prints, and, for a command that talks to controllers, the session on the
// chosen platform.
struct CommandRun {
    const Invocation& inv;
    Output& out;
    CommandSession* session = nullptr;  // null for a command that reaches no device
};

// One command of the command line: its name, the words it takes, the
// options it takes beyond those every command takes (--json, --simulate,
// --config, --vid, --pid, --history, --station, --operator), its lines of
// --help, and the code that runs it.
struct Command {
    enum class Words { None, One, Optional };  // how many words follow the name

    const char* name;
    Words words;
    const char* choices;    // the words allowed, space-separated; null: any word (a FILE)
    QStringList options;
    bool usesDevices;       // false: it runs without a platform (udev-rule)
    const char* synopsis;   // as --help shows it: "flash FILE"
    const char* help;       // the lines --help shows beside it, '\n' between them
    int (*run)(CommandRun& run);  // returns the exit status
};

// Every command, in the order --help lists them.
const std::vector<Command>& Commands();
// The command of that name, or null.
const Command* FindCommand(const QString& name);
