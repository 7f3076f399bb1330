#pragma once
#include "journal/JournalRecord.h"
#include <QElapsedTimer>
#include <QString>

class Journal;

// One operation's record, from the moment it is known to address a
// controller to its end: begin() writes it as running, finish() completes it
// with the outcome. Without a journal (off, or a simulated run that named
// none) it records nothing and costs nothing. The fields are filled in as the
// operation learns them. The thread that owns the journal.
class OperationRecord {
public:
    enum class Result { Ok, Failed, Cancelled };

    OperationRecord(Journal* journal, const QString& command);
    // An operation left without finish() (a path that forgot it) is
    // completed as failed, so no record stays running.
    ~OperationRecord();
    OperationRecord(const OperationRecord&) = delete;
    OperationRecord& operator=(const OperationRecord&) = delete;

    JournalRecord& fields() { return m_record; }
    void begin();
    // The operation is over, though its record is not complete yet (a
    // message box still up, a version still to read): its end time and
    // duration are taken now.
    void stopClock();
    // Completes the record; the first call counts. Begins it first when
    // begin() was not called (an operation refused at once).
    void finish(Result result, int exit, const QString& message, const QString& reason = {});

    bool begun() const { return m_begun; }
    bool clockStopped() const { return m_record.finishedMs.has_value(); }
    bool finished() const { return m_finished; }

private:
    Journal* m_journal;
    JournalRecord m_record;
    QElapsedTimer m_took;
    bool m_begun = false;
    bool m_finished = false;
};
