#pragma once

struct Invocation;
class Output;

// The command `morvax-tool udev-rule`: prints the udev rules for the
// controller's VID and PID, given with --vid and --pid or read from the
// settings file (--config FILE, else the Config.ini the window reads: the
// working directory's, else the one in the user's settings folder). Returns
// 0; or 2, with one line saying why and nothing printed, for a refused ID or
// a settings file that is missing or not a regular file. Main thread.
int RunUdevRuleCommand(const Invocation& inv, Output& out);
