#include "operations/ImageTransfer.h"
#include "serial/SerialTransport.h"

ImageTransfer::ImageTransfer(SerialTransport& transport, ImageFile::Kind kind)
    : m_transport(transport), m_kind(kind),
      m_rules(kind == ImageFile::Kind::Flash ? ImageDownload::FlashRules() : ImageDownload::EepromRules())
{
}

ImageTransfer::Outcome ImageTransfer::load(const QString& path)
{
    m_text.clear();
    m_path = path;
    m_badLine = 0;
    m_fileError.clear();
    switch (m_image.Load(path)) {
    case ImageFile::Status::CannotOpen:
        m_fileError = m_image.errorText();
        return Outcome::CannotOpenFile;
    case ImageFile::Status::LineTooLong:
        m_badLine = m_image.badLine();
        m_text = QStringLiteral("Line %1 holds more than %2 characters.").arg(badLine()).arg(ImageFile::MAX_LINE_CHARS);
        return Outcome::LineTooLong;
    case ImageFile::Status::Ok:
        break;
    }
    return Outcome::Success;
}

ImageTransfer::Outcome ImageTransfer::send(const QString& portName, const std::function<void(int)>& progress,
                                           const std::function<bool()>& cancelled)
{
    m_accepted = 0;
    // The file was checked by load(); it is read again record by record, so
    // that only one record is held, whatever the size of the image.
    ImageFile::Reader reader;
    if (!reader.open(m_path)) {
        m_fileError = reader.errorText();
        return Outcome::CannotOpenFile;
    }
    // A port that did not open gets nothing; the download fails as a first
    // record without an answer would.
    if (m_transport.OpenComPort(portName) != 0) {
        m_text = QStringLiteral("The port did not open.");
        return Outcome::PortFailed;
    }
    ImageDownload download(m_transport, m_rules);
    ImageLines::Next lastRead = ImageLines::Next::End;
    const ImageDownload::Outcome outcome = download.Run(
        [&reader, &lastRead](QByteArray& line) { return lastRead = reader.next(line); }, progress, cancelled);
    m_accepted = download.acceptedCount();
    m_text = download.text();
    switch (outcome) {
    case ImageDownload::Outcome::Success:
        return Outcome::Success;
    case ImageDownload::Outcome::WrongAnswer:
        return Outcome::WrongAnswer;
    case ImageDownload::Outcome::NoAnswer:
        return Outcome::NoAnswer;
    case ImageDownload::Outcome::PortFailed:
        return Outcome::PortFailed;
    case ImageDownload::Outcome::TooFewLines:
        return Outcome::TooFewLines;
    case ImageDownload::Outcome::Cancelled:
        return Outcome::Cancelled;
    case ImageDownload::Outcome::SourceFailed:
        // The file changed or went since it was checked: never a success.
        if (lastRead == ImageLines::Next::TooLong) {
            m_badLine = m_accepted + 1;
            return Outcome::LineTooLong;
        }
        m_fileError = reader.errorText().isEmpty() ? QStringLiteral("could no longer be read") : reader.errorText();
        return Outcome::CannotOpenFile;
    }
    return Outcome::PortFailed;
}

void ImageTransfer::close() { m_transport.CloseComPort(); }

const DeviceOutcome& ImageTransfer::failure() const { return m_transport.failure(); }

QString ImageTransfer::WrongNameMessage(ImageFile::Kind kind)
{
    return kind == ImageFile::Kind::Flash ? QStringLiteral("Please choose .mvx file!")
                                          : QStringLiteral("Please choose .eep.mvx eeprom file!");
}

QString ImageTransfer::message(Outcome outcome) const
{
    switch (outcome) {
    case Outcome::Success:
        return QStringLiteral("DownLoad Successful!");
    case Outcome::CannotOpenFile:
        return m_kind == ImageFile::Kind::Flash ? QStringLiteral("Can't open the .mvx file!")
                                                : QStringLiteral("Can't open the .eep.mvx file!");
    case Outcome::LineTooLong:
        return QStringLiteral("Line %1 of the file is too long for one record!").arg(badLine());
    case Outcome::PortFailed:
    case Outcome::NoAnswer:
    case Outcome::WrongAnswer:
        return QStringLiteral("Download Failed: Return Error");
    case Outcome::TooFewLines:
        return QStringLiteral("Download Failed: Lines Number Of The File Is Error");
    case Outcome::Cancelled:
        return QStringLiteral("Download cancelled at record %1 of %2").arg(m_accepted).arg(total());
    }
    return {};
}
