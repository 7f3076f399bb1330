#include "journal/OperationRecord.h"
#include "journal/Journal.h"
#include <QDateTime>

OperationRecord::OperationRecord(Journal* journal, const QString& command) : m_journal(journal)
{
    if (m_journal)
        m_record = m_journal->record(command);
    m_took.start();
}

OperationRecord::~OperationRecord()
{
    if (m_begun && !m_finished)
        finish(Result::Failed, 1, QStringLiteral("the operation ended without a result"));
}

void OperationRecord::begin()
{
    if (m_begun)
        return;
    m_begun = true;
    m_record.startedMs = QDateTime::currentMSecsSinceEpoch();
    m_took.restart();
    if (m_journal)
        m_journal->begin(m_record);
}

void OperationRecord::stopClock()
{
    if (m_record.finishedMs)
        return;
    m_record.finishedMs = QDateTime::currentMSecsSinceEpoch();
    m_record.durationMs = m_took.elapsed();
}

void OperationRecord::finish(Result result, int exit, const QString& message, const QString& reason)
{
    if (m_finished)
        return;
    begin();
    m_finished = true;
    stopClock();
    m_record.result = result == Result::Ok         ? QStringLiteral("ok")
                      : result == Result::Cancelled ? QStringLiteral("cancelled")
                                                    : QStringLiteral("failed");
    m_record.exit = exit;
    m_record.message = message;
    m_record.reason = reason;
    if (m_journal)
        m_journal->finish(m_record);
}
