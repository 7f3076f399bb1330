#pragma once

struct Invocation;
class QString;

// Everything but the window: --help, --version, a usage error, or a command,
// each with its exit status. A command runs on the hardware or, with
// --simulate, on the simulated controller, and creates the application
// object itself, one without a window system, from the process's argc and
// argv.
int RunCommandLine(const Invocation& inv, int& argc, char** argv);

// A usage error: one line on stderr (and the result event when JSON was
// asked for). Returns the exit status, 2.
int UsageError(const QString& why, bool json);
