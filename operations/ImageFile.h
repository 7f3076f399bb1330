#pragma once
#include "operations/ImageLines.h"
#include <QByteArray>
#include <QCryptographicHash>
#include <QString>
#include <memory>
#include <vector>

class RegularFile;

// An image file (flash ".mvx" or EEPROM ".eep.mvx"): the rules for its name,
// its text as the message log shows it, and its lines as the download sends
// them. No widgets, no device access; safe on any thread.
//
// The file is a text file read as text mode reads it on the controller's
// home platform: every CR LF pair becomes one LF, every other byte (NUL
// included) is kept. Bytes are kept as they are (one QString character per
// byte, Latin-1, where a QString is used).
class ImageFile {
public:
    enum class Kind { Eeprom, Flash };

    // One record on the wire: the line, its LF, then NUL bytes.
    static constexpr int RECORD_SIZE = 287;
    // The most characters a line may hold before its LF so that the whole
    // line and a terminator fit one record.
    static constexpr int MAX_LINE_CHARS = RECORD_SIZE - 1;

    // The largest image file that is read, in bytes. A real image is under
    // 100 KiB; the bound only keeps a wrongly chosen file from filling memory.
    static constexpr qint64 MAX_FILE_BYTES = 64 * 1024 * 1024;

    // How reading the image for a download ended.
    enum class Status {
        Ok,           // count() lines to send (possibly none)
        CannotOpen,   // the file could not be opened or read, or was refused; errorText() says why
        LineTooLong,  // line badLine() holds more than MAX_LINE_CHARS characters
    };

    // True when path is acceptable for kind. Case-sensitive substring tests
    // on the whole path, directories included: EEPROM needs "eep.mvx"; flash
    // needs ".mvx" and no ".eep.mvx".
    static bool NameFits(Kind kind, const QString& path);

    // Reads the file at path in text mode into bytes: the whole file, or its
    // first maxRawBytes bytes when maxRawBytes >= 0 (rawSize, when given,
    // then tells the file's whole size). Only a regular file of at most
    // MAX_FILE_BYTES bytes is read, and nothing waits: a FIFO, a directory or
    // a device is refused at once. False when the file cannot be opened or
    // read or is refused; bytes is then empty and reason (when given) holds a
    // few words on why ("is a FIFO", "No such file or directory").
    static bool ReadTextMode(const QString& path, QByteArray& bytes, QString* reason = nullptr,
                             qint64 maxRawBytes = -1, qint64* rawSize = nullptr);

    // CR LF pairs to LF; every other byte as it is.
    static QByteArray ToTextMode(const QByteArray& raw);

    // The text the log shows for a file's text-mode bytes: each byte as one
    // character, except that a NUL adds nothing and every LF shows as
    // CR LF LF. With maxLineChars >= 0, a line of more characters than that
    // shows its first maxLineChars followed by " ..." (one enormous line
    // would take the log box a long time to lay out).
    static QString DisplayText(const QByteArray& textModeBytes, int maxLineChars = -1);

    // Reads the file at path and checks it as a download sends it: its lines,
    // each with its LF (the last one may lack it); the first line that holds
    // only its LF ends the image, and neither it nor anything after it is sent
    // or checked. Every line sent must fit one record whole. The file is read
    // in pieces and not kept: Reader reads it again to send it.
    Status Load(const QString& path);
    // The lines to send, after Load or Split.
    int count() const { return m_count; }
    // After a successful Load: the file's SHA-256 (lower-case hex, as
    // sha256sum gives it) and its size in bytes.
    QString sha256() const { return m_sha256; }
    qint64 size() const { return m_size; }
    // With LineTooLong: the 1-based number of the offending line.
    int badLine() const { return m_badLine; }
    // With CannotOpen: why, in a few words.
    QString errorText() const { return m_errorText; }

    // Splits text-mode bytes as Load does, keeping the lines. Returns Ok or
    // LineTooLong.
    Status Split(const QByteArray& textModeBytes);
    // The lines of the last successful Split, in file order.
    const std::vector<QByteArray>& lines() const { return m_lines; }

    // The lines of an image file read one at a time, as Load checks them: a
    // download holds one line in memory, not the file.
    // The raw bytes of a file read so far and their SHA-256.
    struct Digest {
        QCryptographicHash hash{QCryptographicHash::Sha256};
        qint64 bytes = 0;
    };

    class Reader {
    public:
        Reader();
        ~Reader();
        Reader(const Reader&) = delete;
        Reader& operator=(const Reader&) = delete;
        // False when the file cannot be opened; errorText() says why.
        bool open(const QString& path);
        ImageLines::Next next(QByteArray& line);
        // Reads what is left of the file after the lines taken, and gives
        // the SHA-256 of all its bytes (lower-case hex), as sha256sum does.
        // False when the file can no longer be read or has grown past the
        // bound; errorText() says why.
        bool finish(QString& sha256);
        // The file's bytes read so far.
        qint64 bytesRead() const { return m_digest.bytes; }
        // Why open, next or finish failed, in a few words.
        QString errorText() const { return m_errorText; }

    private:
        std::unique_ptr<RegularFile> m_file;
        std::unique_ptr<ImageLines> m_lines;
        Digest m_digest;
        QString m_errorText;
    };

private:
    std::vector<QByteArray> m_lines;
    int m_count = 0;
    int m_badLine = 0;
    QString m_errorText;
    QString m_sha256;
    qint64 m_size = 0;
};
