#include "operations/ImageTransfer.h"
#include "serial/SerialTransport.h"

ImageTransfer::ImageTransfer(SerialTransport& transport, ImageFile::Kind kind)
    : m_transport(transport), m_kind(kind),
      m_rules(kind == ImageFile::Kind::Flash ? ImageDownload::FlashRules() : ImageDownload::EepromRules())
{
}

DownloadOutcome ImageTransfer::load(const QString& path)
{
    m_text.clear();
    m_path = path;
    m_badLine = 0;
    m_fileError.clear();
    switch (m_image.Load(path)) {
    case ImageFile::Status::CannotOpen:
        m_fileError = m_image.errorText();
        return DownloadOutcome::CannotOpenFile;
    case ImageFile::Status::LineTooLong:
        m_badLine = m_image.badLine();
        m_text = QStringLiteral("Line %1 holds more than %2 characters.").arg(badLine()).arg(ImageFile::MAX_LINE_CHARS);
        return DownloadOutcome::LineTooLong;
    case ImageFile::Status::Ok:
        break;
    }
    return DownloadOutcome::Success;
}

DownloadOutcome ImageTransfer::send(const QString& portName, const std::function<void(int)>& progress,
                                    const std::function<bool()>& cancelled)
{
    m_accepted = 0;
    // The file was checked by load(); it is read again record by record, so
    // that only one record is held, whatever the size of the image.
    ImageFile::Reader reader;
    if (!reader.open(m_path)) {
        m_fileError = reader.errorText();
        return DownloadOutcome::CannotOpenFile;
    }
    // A port that did not open gets nothing; the download fails as a first
    // record without an answer would.
    if (m_transport.OpenComPort(portName) != 0) {
        m_text = QStringLiteral("The port did not open.");
        return DownloadOutcome::PortFailed;
    }
    ImageDownload download(m_transport, m_rules);
    const DownloadOutcome outcome =
        download.Run([&reader](QByteArray& line) { return reader.next(line); }, progress, cancelled);
    m_accepted = download.acceptedCount();
    m_text = download.text();
    // The file changed or went since it was checked: never a success.
    if (outcome == DownloadOutcome::LineTooLong)
        m_badLine = m_accepted + 1;
    if (outcome == DownloadOutcome::CannotOpenFile)
        m_fileError = reader.errorText().isEmpty() ? QStringLiteral("could no longer be read") : reader.errorText();
    if (outcome != DownloadOutcome::Success)
        return outcome;
    // The bytes sent must be those checked: a file rewritten meanwhile with
    // lines that still fit is caught by its digest.
    QString sent;
    if (!reader.finish(sent)) {
        m_fileError = reader.errorText();
        return DownloadOutcome::CannotOpenFile;
    }
    if (sent != m_image.sha256()) {
        m_fileError = QStringLiteral("changed while it was sent (SHA-256 %1, checked as %2)").arg(sent, m_image.sha256());
        return DownloadOutcome::CannotOpenFile;
    }
    return outcome;
}

void ImageTransfer::close() { m_transport.CloseComPort(); }

const DeviceOutcome& ImageTransfer::failure() const { return m_transport.failure(); }

QString ImageTransfer::WrongNameMessage(ImageFile::Kind kind)
{
    return kind == ImageFile::Kind::Flash ? QStringLiteral("Please choose .mvx file!")
                                          : QStringLiteral("Please choose .eep.mvx eeprom file!");
}

QString ImageTransfer::message(DownloadOutcome outcome) const
{
    switch (outcome) {
    case DownloadOutcome::Success:
        return QStringLiteral("DownLoad Successful!");
    case DownloadOutcome::CannotOpenFile:
        return m_kind == ImageFile::Kind::Flash ? QStringLiteral("Can't open the .mvx file!")
                                                : QStringLiteral("Can't open the .eep.mvx file!");
    case DownloadOutcome::LineTooLong:
        return QStringLiteral("Line %1 of the file is too long for one record!").arg(badLine());
    case DownloadOutcome::PortFailed:
    case DownloadOutcome::NoAnswer:
    case DownloadOutcome::WrongAnswer:
        return QStringLiteral("Download Failed: Return Error");
    case DownloadOutcome::TooFewLines:
        return QStringLiteral("Download Failed: Lines Number Of The File Is Error");
    case DownloadOutcome::Cancelled:
        return QStringLiteral("Download cancelled at record %1 of %2").arg(m_accepted).arg(total());
    }
    return {};
}
