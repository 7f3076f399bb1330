#pragma once
#include "operations/DownloadOutcome.h"
#include "operations/ImageLines.h"
#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

class SerialTransport;

// The lockstep exchange of an image download over an open serial port: one
// 287-byte record out, one 4-byte answer back, the answer's first byte
// tested, the next record; the count of accepted records tested at the end.
// It neither opens nor closes the port and shows nothing; the caller decides
// what the user sees from the outcome. Window's thread only (the transport
// keeps the window painting while it waits for an answer).
class ImageDownload {
public:
    static constexpr int ANSWER_SIZE = 4;
    static constexpr char ANSWER_OK = 'P';

    // What distinguishes the two kinds of image.
    struct Rules {
        int leastCount = 0;     // fewer accepted records than this fails
        int untestedIndex = -1; // 0-based record whose answer is taken as it is; -1 none
    };
    static Rules EepromRules() { return {8, -1}; }
    static Rules FlashRules() { return {227, 128}; }

    // Gives the next line to send into line: Line, or End when there is no
    // more; TooLong or Failed when the image cannot be read on.
    using LineSource = std::function<ImageLines::Next(QByteArray& line)>;

    ImageDownload(SerialTransport& transport, const Rules& rules);

    // Sends the lines next gives (each at most 287 bytes with its LF, as
    // ImageFile gives them) in order, one record in memory at a time.
    // progress(n) is called after the n-th record has been written, n counting
    // from 1. cancelled() is asked before each record is written, never while
    // one is in flight nor once the last has been answered: true stops the
    // download there with Cancelled.
    //
    // Returns Success (at least leastCount records, all accepted),
    // TooFewLines, WrongAnswer, NoAnswer, PortFailed, Cancelled
    // (acceptedCount() went out and were accepted), or, when next cannot give
    // the next line, LineTooLong (TooLong: it is line acceptedCount() + 1) or
    // CannotOpenFile (Failed). text() describes it.
    DownloadOutcome Run(const LineSource& next, const std::function<void(int)>& progress = {},
                        const std::function<bool()>& cancelled = {});
    // The same for lines held in memory.
    DownloadOutcome Run(const std::vector<QByteArray>& lines, const std::function<void(int)>& progress = {},
                        const std::function<bool()>& cancelled = {});

    // The record for one line: its bytes, then NULs up to RECORD_SIZE. A
    // longer line is not expected (ImageFile refuses it) and is cut.
    static QByteArray Record(const QByteArray& line);

    // Records whose answers were accepted in the last Run (full width: no
    // wrap at 256).
    int acceptedCount() const { return m_accepted; }
    // The 4 answer bytes last read (zeros where nothing came).
    QByteArray lastAnswer() const { return m_answer; }
    // A one-line description of the last outcome, for logs; with NoAnswer
    // and PortFailed the transport's failure() tells the cause.
    QString text() const { return m_text; }

private:
    SerialTransport& m_transport;
    Rules m_rules;
    int m_accepted = 0;
    QByteArray m_answer;
    QString m_text;
};
