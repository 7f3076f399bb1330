#include "operations/ImageDownload.h"
#include "operations/ImageFile.h"
#include "serial/SerialTransport.h"

ImageDownload::ImageDownload(SerialTransport& transport, const Rules& rules)
    : m_transport(transport), m_rules(rules), m_answer(ANSWER_SIZE, '\0')
{
}

QByteArray ImageDownload::Record(const QByteArray& line)
{
    QByteArray record = line.left(ImageFile::RECORD_SIZE);
    record.append(ImageFile::RECORD_SIZE - record.size(), '\0');
    return record;
}

DownloadOutcome ImageDownload::Run(const std::vector<QByteArray>& lines, const std::function<void(int)>& progress,
                                   const std::function<bool()>& cancelled)
{
    std::size_t i = 0;
    return Run(
        [&lines, &i](QByteArray& line) {
            if (i == lines.size())
                return ImageLines::Next::End;
            line = lines[i++];
            return ImageLines::Next::Line;
        },
        progress, cancelled);
}

DownloadOutcome ImageDownload::Run(const LineSource& next, const std::function<void(int)>& progress,
                                   const std::function<bool()>& cancelled)
{
    m_accepted = 0;
    m_text.clear();
    QByteArray line, record;
    for (int number = 1;; ++number) {
        const ImageLines::Next got = next(line);
        if (got == ImageLines::Next::End)
            break;  // a stop asked with the last answer has nothing left to stop
        if (cancelled && cancelled()) {
            m_text = QStringLiteral("Stopped before record %1.").arg(number);
            return DownloadOutcome::Cancelled;
        }
        if (got != ImageLines::Next::Line) {
            m_text = QStringLiteral("Line %1 of the image could no longer be read.").arg(number);
            return got == ImageLines::Next::TooLong ? DownloadOutcome::LineTooLong : DownloadOutcome::CannotOpenFile;
        }
        record = Record(line);
        m_answer.fill('\0', ANSWER_SIZE);
        if (m_transport.WriteComPort(record.constData(), ImageFile::RECORD_SIZE) != ImageFile::RECORD_SIZE) {
            m_text = QStringLiteral("Record %1 could not be sent.").arg(number);
            return DownloadOutcome::PortFailed;
        }
        if (progress)
            progress(number);
        const int read = m_transport.ReadComPort(m_answer.data(), ANSWER_SIZE);
        if (read != ANSWER_SIZE) {
            // A short answer is no answer: what follows would be out of step.
            if (m_transport.lastReadTimedOut()) {
                m_text = QStringLiteral("No answer to record %1.").arg(number);
                return DownloadOutcome::NoAnswer;
            }
            m_text = QStringLiteral("The answer to record %1 could not be read.").arg(number);
            return DownloadOutcome::PortFailed;
        }
        if (m_answer[0] != ANSWER_OK && number - 1 != m_rules.untestedIndex) {
            m_text = QStringLiteral("Record %1 was refused.").arg(number);
            return DownloadOutcome::WrongAnswer;
        }
        ++m_accepted;
    }
    if (m_accepted < m_rules.leastCount) {
        m_text = QStringLiteral("%1 records, at least %2 needed.").arg(m_accepted).arg(m_rules.leastCount);
        return DownloadOutcome::TooFewLines;
    }
    m_text = QStringLiteral("%1 records accepted.").arg(m_accepted);
    return DownloadOutcome::Success;
}
