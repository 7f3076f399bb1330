#pragma once

struct Invocation;
class Output;

// The command `morvax-tool history [verify]`: the journal's records, newest
// first, with the filters given (--serial, --usb-path, --port, --station,
// --since, --result, --limit), as a table, as CSV (--csv) or as JSON record
// events (--json); or, with verify, the check of every station's seals. It
// reads the journal --history names (else MORVAX_HISTORY, [History] Url= in
// Config.ini, the default file) and never creates one. Main thread.
//
// Returns 0; 1 when verify finds a broken seal; 3 when the journal cannot be
// read.
int RunHistoryCommand(const Invocation& inv, Output& out);
