#pragma once

// SIGINT and SIGTERM as a request to stop: the first one is noted and the
// work stops at its next safe point (between two records), closes the port
// and exits 130 or 143. A second one ends the process at once, as the
// signal would have.
namespace StopSignal {
// Installs the handlers (without SA_RESTART, so waits see EINTR and look).
void Install();
// 0 while none came, else the number of the first signal.
int Received();
// 130 for SIGINT, 143 for SIGTERM: 128 and the signal's number.
int ExitStatus(int signal);
} // namespace StopSignal
