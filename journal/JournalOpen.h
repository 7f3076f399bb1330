#pragma once
#include "journal/Journal.h"
#include "journal/JournalTarget.h"
#include <memory>

class JournalStore;

// Opening the journal a face writes to, and the names it writes under.
// Main thread.
namespace JournalOpen {

// The journal for target, or null when it goes nowhere: target off, or a run
// on the simulated controller whose target the user did not name.
std::unique_ptr<Journal> Open(const JournalTarget& target, const Journal::Identity& identity);

// A store to read target with (history), or null when the target is off.
// A line's database is read whole, every station's records.
std::unique_ptr<JournalStore> Reader(const JournalTarget& target);
// The station's own store, where records for a line wait to be forwarded:
// the default file.
QString LocalPath();

// The station: given (--station), else from the settings file, else the
// host's name.
QString Station(const QString& given, const QString& fromConfig);
// The operator: given (--operator), else the user who ran sudo (SUDO_USER,
// when the process runs as root), else the name of the process's real user.
QString Operator(const QString& given);
// The host's name.
QString Host();

} // namespace JournalOpen
