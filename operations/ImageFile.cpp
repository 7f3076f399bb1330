#include "operations/ImageFile.h"
#include "platform/RegularFile.h"
#include <QCryptographicHash>
#include <algorithm>

namespace {
// Why an image file is refused, in a few words.
QString RefusalText(const RegularFile& file)
{
    if (file.error() == RegularFile::Error::TooLarge)
        return QStringLiteral("is %1 bytes, more than the %2 MiB an image may have")
            .arg(file.size())
            .arg(ImageFile::MAX_FILE_BYTES / (1024 * 1024));
    return file.errorText();
}

QString GrownText()
{
    return QStringLiteral("has grown past the %1 MiB an image may have").arg(ImageFile::MAX_FILE_BYTES / (1024 * 1024));
}

// Reads up to max raw bytes into raw, adding them to the digest; false (with
// errorText) when reading fails or the file has grown past the bound.
bool ReadRaw(RegularFile& file, QByteArray& raw, qint64 max, ImageFile::Digest& digest, QString& errorText)
{
    if (!file.read(raw, max) || (digest.bytes += raw.size()) > ImageFile::MAX_FILE_BYTES) {
        errorText = file.error() == RegularFile::Error::None ? GrownText() : RefusalText(file);
        return false;
    }
    digest.hash.addData(raw);
    return true;
}

// The text of an open image file, in text mode, a piece at a time: a CR at
// the end of a piece waits for the next one, which may begin with its LF.
// Every raw byte read goes into digest.
ImageLines::Source TextModeSource(RegularFile& file, QString& errorText, ImageFile::Digest& digest)
{
    struct State {
        bool heldCr = false;
        bool ended = false;
    };
    return [&file, &errorText, &digest, state = State{}](char* buffer, qint64 max) mutable -> qint64 {
        for (;;) {
            if (state.ended) {
                if (!state.heldCr)
                    return 0;
                state.heldCr = false;
                buffer[0] = '\r';
                return 1;
            }
            QByteArray raw;
            if (!ReadRaw(file, raw, max - 1, digest, errorText))
                return -1;
            if (raw.isEmpty()) {
                state.ended = true;
                continue;
            }
            qint64 n = 0;
            for (const char c : raw) {
                if (state.heldCr) {
                    state.heldCr = false;
                    if (c == '\n') {
                        buffer[n++] = '\n';  // the pair stands for its LF
                        continue;
                    }
                    buffer[n++] = '\r';
                }
                if (c == '\r')
                    state.heldCr = true;
                else
                    buffer[n++] = c;
            }
            if (n > 0)
                return n;
        }
    };
}
} // namespace

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
        if (reason)
            *reason = RefusalText(file);
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
    m_count = 0;
    m_badLine = 0;
    qint64 taken = 0;
    ImageLines cutter([&bytes, &taken](char* buffer, qint64 max) {
        const qint64 n = std::min<qint64>(max, bytes.size() - taken);
        std::copy_n(bytes.constData() + taken, n, buffer);
        taken += n;
        return n;
    });
    QByteArray line;
    for (;;) {
        switch (cutter.next(line)) {
        case ImageLines::Next::Line:
            m_lines.push_back(line);
            ++m_count;
            continue;
        case ImageLines::Next::TooLong:
            m_lines.clear();
            m_count = 0;
            m_badLine = cutter.number();
            return Status::LineTooLong;
        case ImageLines::Next::End:
        case ImageLines::Next::Failed:  // memory does not fail
            return Status::Ok;
        }
    }
}

ImageFile::Status ImageFile::Load(const QString& path)
{
    m_lines.clear();
    m_sha256.clear();
    m_size = 0;
    m_count = 0;
    m_badLine = 0;
    m_errorText.clear();
    Reader reader;
    if (!reader.open(path)) {
        m_errorText = reader.errorText();
        return Status::CannotOpen;
    }
    QByteArray line;
    for (int number = 1;; ++number) {
        switch (reader.next(line)) {
        case ImageLines::Next::Line:
            ++m_count;
            continue;
        case ImageLines::Next::TooLong:
            m_count = 0;
            m_badLine = number;
            return Status::LineTooLong;
        case ImageLines::Next::Failed:
            m_count = 0;
            m_errorText = reader.errorText();
            return Status::CannotOpen;
        case ImageLines::Next::End:
            if (!reader.finish(m_sha256)) {
                m_count = 0;
                m_errorText = reader.errorText();
                return Status::CannotOpen;
            }
            m_size = reader.bytesRead();
            return Status::Ok;
        }
    }
}

ImageFile::Reader::Reader() = default;
ImageFile::Reader::~Reader() = default;

bool ImageFile::Reader::open(const QString& path)
{
    m_lines.reset();
    m_errorText.clear();
    m_file = std::make_unique<RegularFile>();
    if (!m_file->open(path, MAX_FILE_BYTES)) {
        m_errorText = RefusalText(*m_file);
        return false;
    }
    m_lines = std::make_unique<ImageLines>(TextModeSource(*m_file, m_errorText, m_digest));
    return true;
}

bool ImageFile::Reader::finish(QString& sha256)
{
    if (!m_file || !m_file->isOpen()) {
        if (m_errorText.isEmpty())
            m_errorText = QStringLiteral("could no longer be read");
        return false;
    }
    // The rest of the file after the lines sent (an empty line ends them).
    for (QByteArray raw;;) {
        if (!ReadRaw(*m_file, raw, 64 * 1024, m_digest, m_errorText))
            return false;
        if (raw.isEmpty())
            break;
    }
    sha256 = QString::fromLatin1(m_digest.hash.result().toHex());
    return true;
}

ImageLines::Next ImageFile::Reader::next(QByteArray& line)
{
    if (!m_lines) {
        line.clear();
        return ImageLines::Next::Failed;
    }
    return m_lines->next(line);
}
