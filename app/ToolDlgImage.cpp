// The image handlers of the main window: choosing an image file (the "Open"
// buttons) and downloading it into the controller (the download buttons).
#include "app/ModeIndication.h"
#include "app/ToolDlg.h"
#include "cli/ExitStatus.h"
#include "journal/OperationRecord.h"
#include "controls/HoverButton.h"
#include "controls/LedCtrl.h"
#include "hid/HidLink.h"
#include "operations/ImageFile.h"
#include "operations/ImageTransfer.h"
#include "platform/Clock.h"
#include "platform/Prompts.h"
#include "resources/Resources.h"
#include "serial/SerialTransport.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QProgressBar>

namespace {
// What differs between the EEPROM and the flash image.
struct ImageKind {
    ImageFile::Kind kind;
    const char* wrongName;   // the name test failed
    const char* cannotOpen;  // the file cannot be read
};

const ImageKind EEPROM{ImageFile::Kind::Eeprom, "Please choose .eep.mvx eeprom file!", "Can't open the .eep.mvx file!"};
const ImageKind FLASH{ImageFile::Kind::Flash, "Please choose .mvx file!", "Can't open the .mvx file!"};

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
    if (d.g_bComMode != 1) {
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

// Input while a download runs. Nothing else may start meanwhile, so every
// key and click is taken away from the window; Esc also asks the download to
// stop after the record in flight. The clock's waits deliver input while this
// watches (elsewhere they hold it back, and an Esc held until the end would
// close the window); input is also fetched between two records now and then,
// and once more at the end, so none made during the download is left over.
class DownloadInput : public QObject {
public:
    static constexpr int INPUT_POLL_MS = 50;

    explicit DownloadInput(Clock& clock) : m_clock(clock)
    {
        QCoreApplication::instance()->installEventFilter(this);
        m_clock.setUserInputDelivered(true);
        m_sinceFetch.start();
    }
    ~DownloadInput() override
    {
        fetch();
        m_clock.setUserInputDelivered(false);
        QCoreApplication::instance()->removeEventFilter(this);
    }
    // True once Esc was pressed.
    bool stopAsked()
    {
        if (!m_stop && m_sinceFetch.elapsed() >= INPUT_POLL_MS)
            fetch();
        return m_stop;
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        switch (e->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape)
                m_stop = true;
            return true;
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
            return true;
        default:
            return false;
        }
    }

private:
    void fetch()
    {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        m_sinceFetch.restart();
    }

    Clock& m_clock;
    bool m_stop = false;
    QElapsedTimer m_sinceFetch;
};

// Downloads the image at path of kind k into the controller in COM mode,
// recording it in rec; true on success, after the message and the light
// (rec is then left for the caller to complete). The bar ends at 0 on every
// path that opened the port.
bool DownloadImage(CToolDlg& d, const ImageKind& k, const QString& path, QProgressBar* bar, CLedCtrl* led,
                   OperationRecord& rec)
{
    using Result = OperationRecord::Result;
    rec.fields().image = path;
    // The whole image is read and checked before the port opens, so a file
    // that cannot be sent whole is refused with nothing sent.
    ImageTransfer transfer(*d.m_transport, k.kind);
    const DownloadOutcome loaded = transfer.load(path);
    if (loaded != DownloadOutcome::Success) {
        const QString why = loaded == DownloadOutcome::CannotOpenFile ? CannotOpenLine(path, transfer.fileError())
                                                                      : transfer.text();
        rec.finish(Result::Failed, EXIT_USAGE, transfer.message(loaded), why.trimmed());
        if (loaded == DownloadOutcome::CannotOpenFile) {
            d.Log(why);
            d.UpdateData(false);
        }
        d.MessageBox(transfer.message(loaded));
        return false;
    }
    rec.fields().imageSize = transfer.imageSize();
    rec.fields().imageSha256 = transfer.sha256();
    rec.fields().records = transfer.total();
    rec.begin();
    bar->setRange(0, qMax(transfer.total(), 1));  // 0..0 would make the bar a busy indicator

    // From here on only a success of this download may show green.
    d.SetLight(led, LED_RED);
    bar->setValue(0);
    // Which bytes go out, before the first record does.
    d.Log(QStringLiteral("%1: SHA-256 %2\r\n").arg(QFileInfo(path).fileName(), transfer.sha256()));
    d.UpdateData(false);
    DownloadOutcome outcome;
    {
        DownloadInput input(*d.m_platform.clock);
        outcome = transfer.send(
            d.m_strComPort, [bar](int sent) { bar->setValue(sent); }, [&input] { return input.stopAsked(); });
    }
    rec.fields().accepted = transfer.accepted();
    const DeviceOutcome failure = transfer.failure();
    QString reason = failure.line();
    // The cause goes in front of the log before the message is shown.
    if (outcome != DownloadOutcome::Success)
        d.ShowSerialFailure();
    if (outcome == DownloadOutcome::CannotOpenFile) {  // gone or changed since it was checked
        reason = CannotOpenLine(path, transfer.fileError()).trimmed();
        d.Log(CannotOpenLine(path, transfer.fileError()));
        d.UpdateData(false);
    } else if (reason.isEmpty() && outcome != DownloadOutcome::Success && outcome != DownloadOutcome::Cancelled) {
        reason = transfer.text();
    }
    const QString message = transfer.message(outcome);
    const int exit = ExitStatusOf(outcome, failure);

    switch (outcome) {
    case DownloadOutcome::Success:
        break;
    case DownloadOutcome::Cancelled:
        // The user stopped it: said in the log, with no box to close.
        rec.finish(Result::Cancelled, exit, message);
        d.Log(message + QStringLiteral("\r\n"));
        d.UpdateData(false);
        transfer.close();
        bar->setValue(0);
        return false;
    default:
        rec.stopClock();
        d.DialogMessageBox(message);
        rec.finish(Result::Failed, exit, message, reason);
        transfer.close();
        bar->setValue(0);
        return false;
    }
    rec.stopClock();
    d.UpdateData(false);
    transfer.close();
    bar->setValue(0);
    d.DialogMessageBox(message);
    d.SetLight(led, LED_GREEN);
    return true;
}

// After a flash download the controller may come back as a HID device: the
// mode flag and the lamps of the two switch buttons follow what is found.
// True when the controller was found over HID.
bool ProbeHidAfterFlash(CToolDlg& d)
{
    // A handle found here stays open in the HID link.
    const bool found = d.m_hid->OpenHidDevice();
    if (!found && !d.m_hid->failure().ok())
        d.Log(d.m_hid->failure().line() + QStringLiteral("\r\n"));
    d.ShowMode(found ? Indications::FLASHED_TO_HID : Indications::FLASHED_IN_COM);
    return found;
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
    if (g_bComMode != 1) {
        MessageBox(QStringLiteral("Please switch to COM mode!"));
        return;
    }
    const std::unique_ptr<OperationRecord> rec = Record(QStringLiteral("eeprom"), true);
    if (DownloadImage(*this, EEPROM, m_strEepromFile, m_progEeprom, m_ledEeprom, *rec))
        rec->finish(OperationRecord::Result::Ok, EXIT_OK, QStringLiteral("DownLoad Successful!"));
}

void CToolDlg::OnFlashDownload()
{
    if (g_bComMode != 1) {
        MessageBox(QStringLiteral("Please switch to COM mode!"));
        return;
    }
    const std::unique_ptr<OperationRecord> rec = Record(QStringLiteral("flash"), true);
    if (!DownloadImage(*this, FLASH, m_strFlashFile, m_progFlash, m_ledFlash, *rec))
        return;
    // The version, when the controller came back over HID, belongs to it.
    if (ProbeHidAfterFlash(*this))
        rec->fields().version = m_strVersion;
    rec->finish(OperationRecord::Result::Ok, EXIT_OK, QStringLiteral("DownLoad Successful!"));
}
