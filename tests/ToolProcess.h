#pragma once
// The tool's own executable in a process of its own, as a script runs it:
// no display, the simulator's knobs as given.
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <memory>

struct ToolRun {
    int exit = -1;  // -1 when it crashed or was killed
    QString out, err;
};

// Starts the tool with args, MORVAX_SIM set to sim (unset when empty) and
// env's variables on top of the test's own environment.
std::unique_ptr<QProcess> StartTool(const QStringList& args, const QString& sim = {},
                                    const QProcessEnvironment& env = {});
// Waits for it (killing it after a minute) and takes what it printed.
ToolRun FinishTool(QProcess& process);
// Both.
ToolRun RunTool(const QStringList& args, const QString& sim = {}, const QProcessEnvironment& env = {});
