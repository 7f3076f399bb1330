#pragma once
#include <QByteArray>
#include <functional>

// Cuts an image's text (text-mode bytes) into the lines a download sends, one
// line at a time, as the text comes from its source: each line with its LF
// (the last may lack it); the first line that holds only its LF ends the
// image; a line of more than ImageFile::MAX_LINE_CHARS characters before its
// LF is refused. Holds no more than a piece of the source and one line, so an
// image of any size is cut in little memory. Any thread, one at a time.
class ImageLines {
public:
    // Puts up to max bytes of the text into buffer and returns how many; 0 at
    // the end of the text, -1 when reading failed.
    using Source = std::function<qint64(char* buffer, qint64 max)>;

    enum class Next {
        Line,     // line holds the next line
        End,      // no more lines: the text ended, or an empty line ended the image
        TooLong,  // line number() holds more characters than a record takes
        Failed,   // the source failed
    };

    explicit ImageLines(Source source);

    Next next(QByteArray& line);
    // The 1-based number of the line last given or refused.
    int number() const { return m_number; }

private:
    bool fill();

    Source m_source;
    QByteArray m_buffer;
    qsizetype m_pos = 0;  // first byte of m_buffer not yet cut
    bool m_ended = false;
    bool m_failed = false;
    int m_number = 0;
};
