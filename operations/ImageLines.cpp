#include "operations/ImageLines.h"
#include "operations/ImageFile.h"

namespace {
// The source is read in pieces of this size.
constexpr qint64 PIECE = 64 * 1024;
} // namespace

ImageLines::ImageLines(Source source) : m_source(std::move(source)) {}

bool ImageLines::fill()
{
    if (m_ended || m_failed)
        return false;
    // What is cut goes; what is not waits for the rest of its line.
    m_buffer.remove(0, m_pos);
    m_pos = 0;
    const qsizetype had = m_buffer.size();
    m_buffer.resize(had + PIECE);
    const qint64 n = m_source(m_buffer.data() + had, PIECE);
    m_buffer.resize(had + std::max<qint64>(n, 0));
    if (n < 0)
        m_failed = true;
    else if (n == 0)
        m_ended = true;
    return n > 0;
}

ImageLines::Next ImageLines::next(QByteArray& line)
{
    line.clear();
    for (;;) {
        const qsizetype lf = m_buffer.indexOf('\n', m_pos);
        if (lf == m_pos)
            return Next::End;  // a line of nothing but its LF ends the image
        if (lf < 0 && m_buffer.size() - m_pos <= ImageFile::MAX_LINE_CHARS && fill())
            continue;  // the line may go on in the next piece
        if (m_failed)
            return Next::Failed;
        const qsizetype end = lf >= 0 ? lf : m_buffer.size();  // the line's characters end here
        if (end == m_pos)
            return Next::End;  // the text ended
        ++m_number;
        if (end - m_pos > ImageFile::MAX_LINE_CHARS)
            return Next::TooLong;
        const qsizetype next = lf >= 0 ? lf + 1 : end;
        line = m_buffer.mid(m_pos, next - m_pos);
        m_pos = next;
        return Next::Line;
    }
}
