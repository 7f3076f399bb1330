#include "operations/ImageFile.h"
#include "platform/RegularFile.h"

bool ImageFile::NameFits(Kind kind, const QString& path)
{
    if (kind == Kind::Eeprom)
        return path.contains(QLatin1String("eep.mvx"), Qt::CaseSensitive);
    return path.contains(QLatin1String(".mvx"), Qt::CaseSensitive) &&
           !path.contains(QLatin1String(".eep.mvx"), Qt::CaseSensitive);
}

QByteArray ImageFile::ToTextMode(const QByteArray& raw)
{
    QByteArray out;
    out.reserve(raw.size());
    const char* p = raw.constData();
    const qsizetype n = raw.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] == '\r' && i + 1 < n && p[i + 1] == '\n')
            continue;  // the LF that follows stands for the pair
        out += p[i];
    }
    return out;
}

bool ImageFile::ReadTextMode(const QString& path, QByteArray& bytes, QString* reason, qint64 maxRawBytes,
                             qint64* rawSize)
{
    bytes.clear();
    RegularFile file;
    QByteArray raw;
    if (!file.open(path, MAX_FILE_BYTES) || !file.read(raw, maxRawBytes)) {
        if (reason) {
            if (file.error() == RegularFile::Error::TooLarge)
                *reason = QStringLiteral("is %1 bytes, more than the %2 MiB an image may have")
                              .arg(file.size())
                              .arg(MAX_FILE_BYTES / (1024 * 1024));
            else
                *reason = file.errorText();
        }
        return false;
    }
    if (rawSize)
        *rawSize = file.size();
    bytes = ToTextMode(raw);
    return true;
}

QString ImageFile::DisplayText(const QByteArray& textModeBytes, int maxLineChars)
{
    QString out;
    out.reserve(textModeBytes.size() + textModeBytes.count('\n') * 2);
    qsizetype lineChars = 0;  // characters shown of the present line
    for (char c : textModeBytes) {
        if (c == '\0')
            continue;
        if (c == '\n') {
            out += QLatin1String("\r\n");
            lineChars = 0;
        } else if (maxLineChars >= 0 && lineChars >= maxLineChars) {
            if (lineChars++ == maxLineChars)
                out += QLatin1String(" ...");
            continue;
        } else {
            ++lineChars;
        }
        out += QChar(static_cast<uchar>(c));
    }
    return out;
}

ImageFile::Status ImageFile::Split(const QByteArray& bytes)
{
    m_lines.clear();
    m_badLine = 0;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (int number = 1; start < n; ++number) {
        const qsizetype lf = bytes.indexOf('\n', start);
        const qsizetype end = (lf < 0) ? n : lf + 1;  // one past the line's last byte
        const qsizetype chars = (lf < 0 ? n : lf) - start;
        if (lf == start)
            break;  // a line of nothing but its line end ends the image
        if (chars > MAX_LINE_CHARS) {
            m_lines.clear();
            m_badLine = number;
            return Status::LineTooLong;
        }
        m_lines.push_back(bytes.mid(start, end - start));
        start = end;
    }
    return Status::Ok;
}

ImageFile::Status ImageFile::Load(const QString& path)
{
    m_lines.clear();
    m_badLine = 0;
    m_errorText.clear();
    QByteArray bytes;
    if (!ReadTextMode(path, bytes, &m_errorText))
        return Status::CannotOpen;
    return Split(bytes);
}
