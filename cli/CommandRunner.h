#pragma once

struct Invocation;

// Runs the command inv names (Action::Command, not udev-rule) on the
// hardware or, with --simulate, on the simulated controller, and returns its
// exit status. Creates the application object itself, one without a window
// system, from the process's argc and argv. The simulator takes its settings
// from the environment variable MORVAX_SIM ("controllers=2,stallFromRecord=3",
// see SimPlatform::ParseSettings).
int RunCommand(const Invocation& inv, int& argc, char** argv);
