#pragma once
#include <QStringList>
#include <cstdio>

// The command `morvax-tool udev-rule [--config FILE]`. Needs no
// QCoreApplication and runs before any exists.
//
// Prints the udev rules for the VID and PID of FILE, or else of the
// Config.ini the window reads (the working directory's, else the one in the
// user's settings folder), to out and returns 0. A refused ID, a settings
// file that is missing or not a regular file, or a wrong argument: one line
// on err, nothing on out, and 2. args are the arguments after "udev-rule".
int RunUdevRuleCommand(const QStringList& args, std::FILE* out = stdout, std::FILE* err = stderr);
