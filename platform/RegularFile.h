#pragma once
#include <QByteArray>
#include <QString>

// A data file (an image, the settings file) opened for reading only when it is
// a regular file. Nothing here can block: the file is opened without waiting
// (a FIFO without a writer is refused at once, not waited on), its kind and
// size are checked on the open descriptor (so nothing can be swapped in
// between the check and the read), and reads do not wait for data that is not
// there. Names that are plainly not regular files (devices, FIFOs, sockets,
// directories) are refused before they are opened, so that opening a device
// node has no side effects. One thread at a time; the descriptor is owned and
// closed by the object.
class RegularFile {
public:
    // Why the last open or read failed.
    enum class Error {
        None,
        CannotOpen,  // the operating system refused (missing, no permission, ...)
        NotRegular,  // a directory, a FIFO, a device, a socket
        TooLarge,    // more bytes than the bound given to open (also found by a read)
        ReadFailed,  // reading failed
    };

    RegularFile() = default;
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    // Opens path for reading when it is a regular file of at most maxBytes
    // bytes (a negative maxBytes: no bound). Returns false, with nothing held
    // open, when it cannot be opened or is refused; error() and errorText()
    // say why.
    bool open(const QString& path, qint64 maxBytes = -1);
    // Reads from the current position to the end of the file, but no more
    // than maxBytes bytes (negative: up to the bound given to open, or
    // without limit). Returns false on a read error (ReadFailed), or when the
    // file has grown past the bound given to open (TooLarge); the file is
    // then closed and out holds what was read.
    bool read(QByteArray& out, qint64 maxBytes = -1);
    void close();
    bool isOpen() const { return m_fd >= 0; }

    // The file's size in bytes as the open descriptor gave it; with
    // TooLarge, at least the bound plus one.
    qint64 size() const { return m_size; }
    Error error() const { return m_error; }
    // A few words for a log line: "is a FIFO", "is a directory", "is a
    // device", "is a socket", "is 67108865 bytes, more than 67108864", or the
    // operating system's words ("No such file or directory"). Empty after
    // success.
    QString errorText() const { return m_errorText; }

private:
    bool fail(Error error, const QString& text);

    int m_fd = -1;
    qint64 m_size = 0;
    qint64 m_bound = -1;
    Error m_error = Error::None;
    QString m_errorText;
};
