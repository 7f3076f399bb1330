// Choosing and downloading image files in the real window, against the
// simulated controller over a pseudo-terminal.
#include "TestSupport.h"
#include "controls/HoverButton.h"
#include "controls/LedCtrl.h"
#include "hid/HidLink.h"
#include "operations/ImageFile.h"
#include "resources/Resources.h"
#include "serial/SerialTransport.h"
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QProgressBar>
#include <QCryptographicHash>
#include <QtTest>

namespace {
// The line a download puts in front of the log before its first record.
QString DigestLine(const QString& name, const QByteArray& bytes)
{
    return name + ": SHA-256 " + QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex() + "\r\n";
}

// Puts at name in the fixture's folder what kind says: "text" (A, LF, B),
// "none" (nothing), "64 MiB + 1" (a sparse file one byte over the bound for
// images), "2 MiB line" (one line of 2 MiB, no LF), or a node of MakeNode's.
// Returns the path.
QString MakeFile(DialogFixture& f, const QString& kind, const QString& name)
{
    const QString path = f.dir.filePath(name);
    if (kind == "text")
        WriteFile(path, "A\nB");
    else if (kind == "64 MiB + 1" && WriteFile(path, {}))
        QFile::resize(path, ImageFile::MAX_FILE_BYTES + 1);
    else if (kind == "2 MiB line")
        WriteFile(path, QByteArray(2 * 1024 * 1024, 'x'));
    else if (kind != "none")
        MakeNode(path, kind);
    return path;
}

const QString OK = QStringLiteral("DownLoad Successful!");
const QString RETURN_ERROR = QStringLiteral("Download Failed: Return Error");
const QString LINE_COUNT = QStringLiteral("Download Failed: Lines Number Of The File Is Error");
// Set-ups of the download table beside the default one.
const QString ON_HID = QStringLiteral("the controller also on the HID bus");

// The image's file name of the kind, in the fixture's folder.
QString ImagePath(DialogFixture& f, bool flash)
{
    return f.dir.filePath(flash ? QStringLiteral("fw.mvx") : QStringLiteral("fw.eep.mvx"));
}

// Writes image (unless it is null: no file) as the kind's file, puts its path
// into the kind's member and runs its download as a click does (device
// events wait until it has ended) in a fresh window.
void Download(DialogFixture& f, bool flash, const QByteArray& image)
{
    QVERIFY(image.isNull() || WriteFile(ImagePath(f, flash), image));
    (flash ? f.dlg->m_strFlashFile : f.dlg->m_strEepromFile) = ImagePath(f, flash);
    f.dlg->Run([&] { flash ? f.dlg->OnFlashDownload() : f.dlg->OnEepromDownload(); });
}
} // namespace

class TestDownload : public QObject {
    Q_OBJECT
private slots:
    void download_data()
    {
        QTest::addColumn<bool>("flash");
        QTest::addColumn<QByteArray>("image");  // null: no file at the path
        QTest::addColumn<SimKnobs>("knobs");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("records");  // as the controller received them
        const SimKnobs acks;
        const QString plain;
        const auto wrongAt = [](int n, std::array<char, 4> a = {'E', 'r', 'r', 'o'}) {
            return SimKnobs{.wrongAnswerAtRecord = n, .wrongAnswer = a};
        };
        QTest::newRow("eeprom 7 lines") << false << Lines(7) << acks << plain << LINE_COUNT << 7;
        QTest::newRow("eeprom 8 lines, P and any three bytes")
            << false << Lines(8) << wrongAt(3, {'P', '\0', '\xff', '\x01'}) << plain << OK << 8;
        QTest::newRow("flash 226 lines") << true << Lines(226) << acks << plain << LINE_COUNT << 226;
        QTest::newRow("flash 227 lines, found over HID") << true << Lines(227) << acks << ON_HID << OK << 227;
        QTest::newRow("flash 227 lines, 129th answer untested")
            << true << Lines(227) << wrongAt(129) << plain << OK << 227;
        QTest::newRow("flash: 128th tested") << true << Lines(227) << wrongAt(128) << plain << RETURN_ERROR << 128;
        QTest::newRow("flash: 130th tested") << true << Lines(227) << wrongAt(130) << plain << RETURN_ERROR << 130;
        QTest::newRow("flash 256 lines") << true << Lines(256) << acks << plain << OK << 256;
        QTest::newRow("flash 300 lines") << true << Lines(300) << acks << plain << OK << 300;
        QTest::newRow("empty file") << false << QByteArray("") << acks << plain << LINE_COUNT << 0;
        QTest::newRow("empty line after line 10 ends the image")
            << false << QByteArray(Lines(10) + "\n" + Lines(5)) << acks << plain << OK << 10;
        QTest::newRow("lower-case p refused") << false << Lines(8) << wrongAt(1, {'p', 'a', 's', 's'}) << plain
                                              << RETURN_ERROR << 1;
        QTest::newRow("silent from record 3")
            << true << Lines(230) << SimKnobs{.silentFromRecord = 3} << plain << RETURN_ERROR << 3;
        // Refused before the port opens.
        QTest::newRow("missing file") << true << QByteArray() << acks << plain << "Can't open the .mvx file!" << 0;
        QTest::newRow("line 12 of 287 chars") << true << QByteArray(Lines(11) + QByteArray(287, 'y') + "\n" + Lines(300))
                                              << acks << plain << "Line 12 of the file is too long for one record!" << 0;
    }
    void download()
    {
        QFETCH(bool, flash);
        QFETCH(QByteArray, image);
        QFETCH(SimKnobs, knobs);
        QFETCH(QString, setup);
        QFETCH(QString, message);
        QFETCH(int, records);
        OpenedDialog f(knobs);
        // Only the silent row waits for an answer; a short bound keeps it quick.
        if (knobs.silentFromRecord > 0)
            f.dlg->m_transport->setReadTimeoutMs(300);
        if (setup == ON_HID)  // a device with the controller's IDs on the HID bus
            f.sim->hidBus().others().push_back(
                {{knobs.vid, knobs.pid, 0x0100}, true, true, SimHidBus::controllerDescriptor()});
        QProgressBar* bar = flash ? f.dlg->m_progFlash : f.dlg->m_progEeprom;
        CLedCtrl* led = flash ? f.dlg->m_ledFlash : f.dlg->m_ledEeprom;
        // Green from an earlier success: dark red from the moment the port
        // opens, green again only after a success.
        f.dlg->SetLight(led, LED_GREEN);
        QList<int> barValues;
        int lightWhileSending = -1;
        connect(bar, &QProgressBar::valueChanged, [&](int v) {
            if (barValues.isEmpty())
                lightWhileSending = LightState(led);
            barValues << v;
        });
        const QString logBefore = f.shownLog();
        bool openAtMessage = false;
        int barAtMessage = -1, lightAtMessage = -1;
        QString logAtMessage;
        f.prompts.onMessage = [&](const QString&) {
            openAtMessage = f.dlg->m_transport->m_hCom == SerialTransport::Handle::Open;
            barAtMessage = bar->value();
            lightAtMessage = LightState(led);
            logAtMessage = f.shownLog();
        };
        Download(f, flash, image);

        const bool ok = message == OK;
        // The download's own outcomes ("Download...", "DownLoad...") come in
        // the dialog's box; refusals before the port opens in the application's.
        const bool refused = !message.startsWith(QStringLiteral("Down"), Qt::CaseInsensitive);
        QCOMPARE(f.prompts.messages, QStringList{message});
        QCOMPARE(f.prompts.captions, QStringList{refused ? QCoreApplication::applicationName() : "Error"});
        QCOMPARE(int(f.controller().records().size()), records);
        // A failure shows its message with the port open and the bar where it
        // stopped; success closes and resets first and lights after.
        QCOMPARE(openAtMessage, !ok && !refused);
        QCOMPARE(barAtMessage, ok ? 0 : records);
        QCOMPARE(lightAtMessage, refused ? 1 : 0);
        QCOMPARE(lightWhileSending, records > 0 ? 0 : -1);
        // Why a silent controller failed, or why the file cannot be read, is
        // shown before the box.
        QString reason;
        if (message.startsWith(QStringLiteral("Can't open")))
            reason = ImagePath(f, flash) + QStringLiteral(": cannot open: No such file or directory\r\n");
        if (knobs.silentFromRecord > 0)
            reason = f.controller().portName() + QStringLiteral(": read: no answer within 0.3 s\r\n");
        // Every download that starts says first which bytes it sends.
        const QString digest = refused ? QString() : DigestLine(QFileInfo(ImagePath(f, flash)).fileName(), image);
        QCOMPARE(logAtMessage, reason + digest + logBefore);
        QVERIFY(f.dlg->m_transport->m_hCom == SerialTransport::Handle::None);
        QCOMPARE(LightState(led), ok || refused ? 1 : 0);
        QList<int> moves;  // one step a record, then back to 0
        for (int i = 1; i <= records; ++i)
            moves << i;
        if (records > 0)
            moves << 0;
        QCOMPARE(barValues, moves);
        if (ok)
            QCOMPARE(bar->maximum(), records);
        // After a flash success the HID probe sets the mode flag and the
        // switch lamps by whether the controller is found over HID; a handle
        // found stays open.
        if (flash && ok) {
            const bool found = setup == ON_HID;
            QCOMPARE(int(f.dlg->g_bComMode), found ? 0 : 1);
            QCOMPARE(f.dlg->m_hid->m_hHid != nullptr, found);
            QVERIFY(LampIs(f.dlg->m_btnSwitchToHid, found ? IDI_BULB_GREEN : IDI_BULB_GREY));
            QVERIFY(LampIs(f.dlg->m_btnSwitchToCom, found ? IDI_BULB_GREY : IDI_BULB_GREEN));
        }
    }

    void imageRewrittenDuringTheSendStopsAtItsFirstLongLine()
    {
        // The image is checked whole, then read again in pieces while it is
        // sent. Rewritten in place after record 5 into one endless line, it
        // is refused at the first line read from the new text, as long as the
        // checked text reaches past the first piece: the records before that
        // line went out and were accepted.
        OpenedDialog f;
        const QByteArray image = (QByteArray(280, 'r') + '\n').repeated(300);
        const QString path = ImagePath(f, false);
        connect(f.dlg->m_progEeprom, &QProgressBar::valueChanged, [&](int v) {
            QFile file(path);
            if (v == 5 && file.open(QIODevice::WriteOnly))  // truncated, the same file
                file.write(QByteArray(200 * 1024, 'y'));
        });
        const QString logBefore = f.shownLog();
        Download(f, false, image);
        const int records = int(f.controller().records().size());
        QVERIFY2(records > 5 && records < 300, qPrintable(QString::number(records)));
        QCOMPARE(f.prompts.messages,
                 QStringList{QStringLiteral("Line %1 of the file is too long for one record!").arg(records + 1)});
        QCOMPARE(f.prompts.captions, QStringList{"Error"});
        QCOMPARE(f.shownLog(), DigestLine("fw.eep.mvx", image) + logBefore);
        QCOMPARE(f.dlg->m_ledEeprom->color(), LED_RED);
        QCOMPARE(f.dlg->m_progEeprom->value(), 0);
        QVERIFY(f.dlg->m_transport->m_hCom == SerialTransport::Handle::None);
    }

    void open_data()
    {
        QTest::addColumn<bool>("flash");
        QTest::addColumn<QString>("name");  // empty: the dialog cancelled
        QTest::addColumn<QString>("file");  // what is at the path (see MakeFile)
        QTest::addColumn<bool>("comMode");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("taken");      // the path is kept in the kind's member
        QTest::addColumn<QString>("logged");  // put in front of the log; %1 the path
        const QString shown = QStringLiteral("A\r\n\nB\r\n\r\n");
        const QString cannot = QStringLiteral("Can't open the .mvx file!");
        const QString none;
        // The name rules themselves are tested in tst_imagecore.
        QTest::newRow("eeprom fw.eep.mvx") << false << "fw.eep.mvx" << "text" << true << none << true << shown;
        QTest::newRow("flash fw.mvx") << true << "fw.mvx" << "text" << true << none << true << shown;
        QTest::newRow("flash fw.eep.mvx") << true << "fw.eep.mvx" << "text" << true << "Please choose .mvx file!"
                                          << false << none;
        QTest::newRow("eeprom fw.mvx") << false << "fw.mvx" << "text" << true << "Please choose .eep.mvx eeprom file!"
                                       << false << none;
        QTest::newRow("cancelled") << true << QString() << "text" << true << none << false << none;
        QTest::newRow("HID mode: no dialog") << true << "fw.mvx" << "text" << false << "Please switch to COM mode!"
                                             << false << none;
        // Refused at once, with the reason in the log; the path is kept, so
        // a download reports the same.
        QTest::newRow("unreadable") << true << "gone/fw.mvx" << "none" << true << cannot << true
                                    << "%1: cannot open: No such file or directory\r\n";
        QTest::newRow("FIFO") << true << "fw.mvx" << "fifo" << true << cannot << true
                              << "%1: cannot open: is a FIFO\r\n";
        QTest::newRow("directory") << true << "fw.mvx" << "directory" << true << cannot << true
                                   << "%1: cannot open: is a directory\r\n";
        QTest::newRow("device node: /dev/zero through a symlink")
            << true << "fw.mvx" << "/dev/zero link" << true << cannot << true << "%1: cannot open: is a device\r\n";
        QTest::newRow("socket") << true << "fw.mvx" << "socket" << true << cannot << true
                                << "%1: cannot open: is a socket\r\n";
        QTest::newRow("64 MiB and 1 byte")
            << false << "fw.eep.mvx" << "64 MiB + 1" << true << "Can't open the .eep.mvx file!" << true
            << "%1: cannot open: is 67108865 bytes, more than the 64 MiB an image may have\r\n";
        // Shown cut: the first 1000 characters of the line, and the first
        // 1 MiB of the file.
        QTest::newRow("2 MiB in one line") << true << "fw.mvx" << "2 MiB line" << true << none << true
                                           << QString(1000, u'x') +
                                                  " ...\r\n... (1048576 more bytes not shown)\r\n\r\n";
    }
    void open()
    {
        QFETCH(bool, flash);
        QFETCH(QString, name);
        QFETCH(QString, file);
        QFETCH(bool, comMode);
        QFETCH(QString, message);
        QFETCH(bool, taken);
        QFETCH(QString, logged);
        OpenedDialog f;
        f.dlg->g_bComMode = comMode ? 1 : 0;
        const QString path = name.isEmpty() ? QString() : MakeFile(f, file, name);
        f.dlg->m_strLog = QStringLiteral("old\r\n");
        f.dlg->UpdateData(false);
        CLedCtrl* led = flash ? f.dlg->m_ledFlash : f.dlg->m_ledEeprom;
        f.dlg->SetLight(led, LED_GREEN);
        f.prompts.files << path;
        QString logAtMessage;
        f.prompts.onMessage = [&](const QString&) { logAtMessage = f.shownLog(); };
        flash ? f.dlg->OnFlashOpen() : f.dlg->OnEepromOpen();
        QCOMPARE(f.prompts.filters, comMode ? QStringList{QStringLiteral("FILE(*.*) (*)")} : QStringList());
        QCOMPARE(f.prompts.messages, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(flash ? f.dlg->m_strFlashFile : f.dlg->m_strEepromFile, taken ? path : QString());
        const QString expected = (logged.contains(u'%') ? logged.arg(path) : logged) + QStringLiteral("old\r\n");
        QCOMPARE(f.dlg->m_strLog, expected);
        QCOMPARE(f.shownLog().left(3), expected.left(3));  // the controls were reloaded
        // A reason is on screen while the box is up.
        if (taken && !message.isEmpty())
            QCOMPARE(logAtMessage, expected);
        // A refusal before a file is taken leaves the light; else it goes dark red.
        QCOMPARE(led->color(), !taken && !message.isEmpty() ? LED_GREEN : LED_RED);
    }

    void escapeStopsTheDownloadAndIsConsumed_data()
    {
        QTest::addColumn<int>("atRecord");  // Esc once this record has been written
        QTest::addColumn<bool>("held");     // posted, as input the window's waits held back
        QTest::newRow("Esc at record 5") << 5 << false;
        QTest::newRow("held Esc at record 5") << 5 << true;
        QTest::newRow("Esc with the last record") << 227 << false;
        QTest::newRow("held Esc with the last record") << 227 << true;
    }
    void escapeStopsTheDownloadAndIsConsumed()
    {
        QFETCH(int, atRecord);
        QFETCH(bool, held);
        // Slow enough answers that held input is fetched during the download.
        OpenedDialog f(SimKnobs{.answerDelayMs = 2});
        QSignalSpy rejected(f.dlg.get(), &QDialog::rejected);
        const QString logBefore = f.shownLog();
        connect(f.dlg->m_progFlash, &QProgressBar::valueChanged, f.dlg.get(), [&](int v) {
            if (v != atRecord)
                return;
            if (held)
                QCoreApplication::postEvent(f.dlg.get(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
            else
                QTest::keyClick(f.dlg.get(), Qt::Key_Escape);
        });
        Download(f, true, Lines(227));
        QCoreApplication::processEvents();

        // The Esc belonged to the download: the window stays.
        QCOMPARE(rejected.count(), 0);
        QVERIFY(f.dlg->isVisible());
        QVERIFY(f.dlg->m_transport->m_hCom == SerialTransport::Handle::None);
        QCOMPARE(f.dlg->m_progFlash->value(), 0);
        const int received = int(f.controller().records().size());
        if (atRecord == 227) {
            // Nothing was left to stop.
            QCOMPARE(f.prompts.messages, QStringList{OK});
            QCOMPARE(received, 227);
            return;
        }
        // Stopped after the record in flight, said in the log, no box.
        QVERIFY(f.prompts.messages.isEmpty());
        QCOMPARE(LightState(f.dlg->m_ledFlash), 0);
        QVERIFY(held ? received >= atRecord && received < 227 : received == atRecord);
        QCOMPARE(f.shownLog(), QStringLiteral("Download cancelled at record %1 of 227\r\n").arg(received) +
                                    DigestLine("fw.mvx", Lines(227)) + logBefore);
    }
};

QTEST_MAIN(TestDownload)
#include "tst_download.moc"
