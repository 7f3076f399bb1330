#pragma once
#include "operations/DownloadOutcome.h"
#include "operations/ImageDownload.h"
#include "operations/ImageFile.h"
#include "platform/DeviceOutcome.h"
#include <QString>
#include <functional>

class SerialTransport;

// A whole image download, as the window and the command line both run it:
// the image read and checked before anything opens, then the port opened and
// the records sent in lockstep, with progress and a stop check between two
// records. The port is left open at the end whatever the outcome, and the
// caller closes it (close()) once it has shown the outcome: the window shows
// a failure while the port is still held, a success after it was closed.
// Shows nothing itself. Window's thread, or the command line's main thread.
class ImageTransfer {
public:
    ImageTransfer(SerialTransport& transport, ImageFile::Kind kind);

    // Reads and checks the image at path, without keeping it. Success
    // (total() records to send), CannotOpenFile (fileError() says why) or
    // LineTooLong (badLine()).
    DownloadOutcome load(const QString& path);

    // Opens the image again, opens portName with the transport's settings and
    // sends the records read one at a time; progress(n) after the n-th record
    // was written; cancelled() is asked before each record. The port stays
    // open (or, when it did not open, its failed state stays) until close().
    // Any outcome but Success; with PortFailed and NoAnswer, failure() says
    // why; CannotOpenFile and LineTooLong mean the file went or changed after
    // load() (fileError(), badLine()).
    DownloadOutcome send(const QString& portName, const std::function<void(int)>& progress = {},
                         const std::function<bool()>& cancelled = {});
    // Closes the port.
    void close();

    ImageFile::Kind kind() const { return m_kind; }
    const ImageDownload::Rules& rules() const { return m_rules; }
    // The loaded image's SHA-256 (lower-case hex, as sha256sum gives it) and
    // size in bytes. A send fails as for a changed file when the bytes it
    // read differ.
    QString sha256() const { return m_image.sha256(); }
    qint64 imageSize() const { return m_image.size(); }
    // Records in the loaded image.
    int total() const { return m_image.count(); }
    // Records the controller accepted in the last send().
    int accepted() const { return m_accepted; }
    // With LineTooLong: the 1-based number of the line.
    int badLine() const { return m_badLine; }
    // With CannotOpenFile: why the file could not be read, in a few words.
    QString fileError() const { return m_fileError; }
    // Why the port failed; ok() when it did not.
    const DeviceOutcome& failure() const;
    // A few words on the last outcome ("200 records, at least 227 needed.").
    QString text() const { return m_text; }

    // What the user is told of an outcome, word for word as the window's
    // message boxes say it.
    QString message(DownloadOutcome outcome) const;
    // The message for a file whose name does not fit the kind.
    static QString WrongNameMessage(ImageFile::Kind kind);

private:
    SerialTransport& m_transport;
    ImageFile::Kind m_kind;
    ImageDownload::Rules m_rules;
    ImageFile m_image;
    QString m_path;
    int m_accepted = 0;
    int m_badLine = 0;
    QString m_fileError;
    QString m_text;
};
