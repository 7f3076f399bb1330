// The image handlers of the main window: choosing an image file (the "Open"
// buttons) and downloading it into the controller (the download buttons).
#include "app/ToolDlg.h"
#include "controls/HoverButton.h"
#include "controls/LedCtrl.h"
#include "hid/HidLink.h"
#include "operations/ImageDownload.h"
#include "operations/ImageFile.h"
#include "platform/Prompts.h"
#include "resources/Resources.h"
#include "serial/SerialTransport.h"
#include <QProgressBar>

namespace {
// What differs between the EEPROM and the flash image.
struct ImageKind {
    ImageFile::Kind kind;
    const char* wrongName;   // the name test failed
    const char* cannotOpen;  // the file cannot be read
    ImageDownload::Rules rules;
};

const ImageKind EEPROM{ImageFile::Kind::Eeprom, "Please choose .eep.mvx eeprom file!", "Can't open the .eep.mvx file!",
                       ImageDownload::EepromRules()};
const ImageKind FLASH{ImageFile::Kind::Flash, "Please choose .mvx file!", "Can't open the .mvx file!",
                      ImageDownload::FlashRules()};

// The log shows at most this much of a chosen file, and of each of its lines.
// A real image is well under 100 KB in lines of under 300 characters; the
// limits keep a wrongly chosen file from stalling the window while the log
// box lays out megabytes of text or one enormous paragraph.
constexpr qsizetype MAX_DISPLAY_BYTES = 1024 * 1024;
constexpr int MAX_DISPLAY_LINE_CHARS = 1000;

// The log line that says why an image file was not read.
QString CannotOpenLine(const QString& path, const QString& reason)
{
    if (path.isEmpty())
        return QStringLiteral("No image file has been chosen.\r\n");
    return QStringLiteral("%1: cannot open: %2\r\n").arg(path, reason);
}

// Chooses an image of kind k: the name test, the path into member, the file's
// text at the top of the log, and the kind's light dark red.
void OpenImage(CToolDlg& d, const ImageKind& k, QString& member, CLedCtrl* led)
{
    if (g_bComMode != 1) {
        d.MessageBox(QStringLiteral("Please switch to COM mode!"));
        return;
    }
    const QString path = d.m_platform.prompts->openFileName(QStringLiteral("FILE(*.*) (*)"), QStringLiteral("*.*"));
    if (!path.isEmpty()) {
        if (!ImageFile::NameFits(k.kind, path)) {
            d.MessageBox(QString::fromLatin1(k.wrongName));
            return;
        }
        member = path;
        // Only what is shown is read.
        QByteArray bytes;
        QString reason;
        qint64 size = 0;
        if (ImageFile::ReadTextMode(path, bytes, &reason, MAX_DISPLAY_BYTES, &size)) {
            QString text = ImageFile::DisplayText(bytes, MAX_DISPLAY_LINE_CHARS);
            if (size > MAX_DISPLAY_BYTES)
                text += QStringLiteral("\r\n... (%1 more bytes not shown)").arg(size - MAX_DISPLAY_BYTES);
            d.Log(text + QStringLiteral("\r\n\r\n"));
        } else {
            // Chosen but unreadable (removed meanwhile, no permission, not a
            // regular file, too large): the path is kept, so a download
            // reports the same. The reason is on screen while the box is up.
            d.Log(CannotOpenLine(path, reason));
            d.UpdateData(false);
            d.MessageBox(QString::fromLatin1(k.cannotOpen));
        }
        d.UpdateData(false);
    }
    d.SetLight(led, LED_RED);
}

// Downloads the image at path of kind k; true on success, after the message
// and the light. The bar ends at 0 on every path that opened the port.
bool DownloadImage(CToolDlg& d, const ImageKind& k, const QString& path, QProgressBar* bar, CLedCtrl* led)
{
    if (g_bComMode != 1) {
        d.MessageBox(QStringLiteral("Please switch to COM mode!"));
        return false;
    }
    // The whole image is read and checked before the port opens, so a file
    // that cannot be sent whole is refused with nothing sent.
    ImageFile image;
    switch (image.Load(path)) {
    case ImageFile::Status::CannotOpen:
        d.Log(CannotOpenLine(path, image.errorText()));
        d.UpdateData(false);
        d.MessageBox(QString::fromLatin1(k.cannotOpen));
        return false;
    case ImageFile::Status::LineTooLong:
        d.MessageBox(QStringLiteral("Line %1 of the file is too long for one record!").arg(image.badLine()));
        return false;
    case ImageFile::Status::Ok:
        break;
    }
    const int records = static_cast<int>(image.lines().size());
    bar->setRange(0, qMax(records, 1));  // 0..0 would make the bar a busy indicator

    // From here on only a success of this download may show green.
    d.SetLight(led, LED_RED);
    const bool opened = d.m_transport->OpenComPort(d.m_strComPort) == 0;
    bar->setValue(0);
    // A port that did not open gets nothing; the download fails as a first
    // record without an answer would.
    ImageDownload::Outcome outcome = ImageDownload::Outcome::PortFailed;
    if (opened) {
        ImageDownload download(*d.m_transport, k.rules);
        outcome = download.Run(image.lines(), [bar](int sent) { bar->setValue(sent); });
    }
    // The cause goes in front of the log before the message is shown.
    if (outcome != ImageDownload::Outcome::Success)
        d.ShowSerialFailure();

    switch (outcome) {
    case ImageDownload::Outcome::Success:
        break;
    case ImageDownload::Outcome::NoAnswer:
    case ImageDownload::Outcome::WrongAnswer:
    case ImageDownload::Outcome::PortFailed:
        d.DialogMessageBox(QStringLiteral("Download Failed: Return Error"));
        d.m_transport->CloseComPort();
        bar->setValue(0);
        return false;
    case ImageDownload::Outcome::TooFewLines:
        d.DialogMessageBox(QStringLiteral("Download Failed: Lines Number Of The File Is Error"));
        d.m_transport->CloseComPort();
        bar->setValue(0);
        return false;
    }
    d.UpdateData(false);
    d.m_transport->CloseComPort();
    bar->setValue(0);
    d.DialogMessageBox(QStringLiteral("DownLoad Successful!"));
    d.SetLight(led, LED_GREEN);
    return true;
}

// After a flash download the controller may come back as a HID device: the
// mode flag and the lamps of the two switch buttons follow what is found.
void ProbeHidAfterFlash(CToolDlg& d)
{
    // A handle found here stays open in the HID link.
    const bool found = d.m_hid->OpenHidDevice();
    if (!found && !d.m_hid->failure().ok())
        d.Log(d.m_hid->failure().line() + QStringLiteral("\r\n"));
    g_bComMode = found ? 0 : 1;
    const QIcon hidLamp = ToolIcon(found ? IDI_BULB_GREEN : IDI_BULB_GREY);
    const QIcon comLamp = ToolIcon(found ? IDI_BULB_GREY : IDI_BULB_GREEN);
    d.m_btnSwitchToHid->SetIcon(hidLamp, hidLamp);
    d.m_btnSwitchToCom->SetIcon(comLamp, comLamp);
    d.m_btnSwitchToHid->SetIconTop(0);
    d.m_btnSwitchToHid->SetIconAlign(0);
    d.ConfigurePlain(d.m_btnSwitchToHid);
    d.ConfigurePlain(d.m_btnSwitchToCom);
}
} // namespace

void CToolDlg::OnEepromOpen()
{
    OpenImage(*this, EEPROM, m_strEepromFile, m_ledEeprom);
}

void CToolDlg::OnFlashOpen()
{
    OpenImage(*this, FLASH, m_strFlashFile, m_ledFlash);
}

void CToolDlg::OnEepromDownload()
{
    DownloadImage(*this, EEPROM, m_strEepromFile, m_progEeprom, m_ledEeprom);
}

void CToolDlg::OnFlashDownload()
{
    if (DownloadImage(*this, FLASH, m_strFlashFile, m_progFlash, m_ledFlash))
        ProbeHidAfterFlash(*this);
}
