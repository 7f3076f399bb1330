// Choosing and downloading image files in the real window, against the
// simulated controller over a pseudo-terminal.
#include "TestSupport.h"
#include "controls/HoverButton.h"
#include "controls/LedCtrl.h"
#include "hid/HidLink.h"
#include "resources/Resources.h"
#include "serial/SerialTransport.h"
#include <QFile>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QProgressBar>
#include <QtTest>

namespace {
// n lines "L1xxx...\n", each 40 characters and its LF.
QByteArray Lines(int n)
{
    QByteArray out;
    for (int i = 1; i <= n; ++i)
        out += ("L" + QByteArray::number(i)).leftJustified(40, 'x') + '\n';
    return out;
}

QString Write(DialogFixture& f, const QString& name, const QByteArray& bytes)
{
    QFile file(f.dir.filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return file.fileName();
}

const QString OK = QStringLiteral("DownLoad Successful!");
const QString RETURN_ERROR = QStringLiteral("Download Failed: Return Error");
const QString LINE_COUNT = QStringLiteral("Download Failed: Lines Number Of The File Is Error");
// Set-ups of the download table beside the default one.
const QString ON_HID = QStringLiteral("the controller also on the HID bus");

// Puts the image at path into the kind's member and runs its download as a
// click does (device events wait until it has ended) in a fresh window. A
// short answer bound keeps the silent cases quick.
void Download(DialogFixture& f, bool flash, const QString& path)
{
    f.dlg->m_transport->setReadTimeoutMs(300);
    (flash ? f.dlg->m_strFlashFile : f.dlg->m_strEepromFile) = path;
    f.dlg->Run([&] { flash ? f.dlg->OnFlashDownload() : f.dlg->OnEepromDownload(); });
}
} // namespace

class TestDownload : public QObject {
    Q_OBJECT
private slots:
    void recordsAreByteExact()
    {
        DialogFixture f;
        f.open();
        QByteArray text = "abcde\r\n";          // CR LF arrives as LF
        text += QByteArray(286, 'w') + "\n";    // the longest line that fits
        text += Lines(5);
        text += "tail";                         // last line without LF
        Download(f, false, Write(f, "fw.eep.mvx", text));
        QCOMPARE(f.prompts.messages, QStringList{OK});
        const auto records = f.controller().records();
        QCOMPARE(int(records.size()), 8);
        QCOMPARE(records[0], QByteArray("abcde\n") + QByteArray(281, '\0'));
        QCOMPARE(records[1], QByteArray(286, 'w') + "\n");
        QCOMPARE(records[7], QByteArray("tail") + QByteArray(283, '\0'));
    }

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
        DialogFixture f(knobs);
        f.open();
        if (setup == ON_HID)  // a device with the controller's IDs on the HID bus
            f.sim->hidBus().others().push_back(
                {{knobs.vid, knobs.pid, 0x0100}, true, true, SimHidBus::controllerDescriptor()});
        QProgressBar* bar = flash ? f.dlg->m_progFlash : f.dlg->m_progEeprom;
        CLedCtrl* led = flash ? f.dlg->m_ledFlash : f.dlg->m_ledEeprom;
        QList<int> barValues;
        connect(bar, &QProgressBar::valueChanged, [&](int v) { barValues << v; });
        const QString logBefore = f.shownLog();
        bool openAtMessage = false;
        int barAtMessage = -1, ledAtMessage = -1;
        QString logAtMessage;
        f.prompts.onMessage = [&](const QString&) {
            openAtMessage = f.dlg->m_transport->m_hCom == SerialTransport::Handle::Open;
            barAtMessage = bar->value();
            ledAtMessage = led->color();
            logAtMessage = f.shownLog();
        };
        const QString name = flash ? "fw.mvx" : "fw.eep.mvx";
        Download(f, flash, image.isNull() ? f.dir.filePath(name) : Write(f, name, image));

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
        QCOMPARE(ledAtMessage, LED_RED);
        // Why a silent controller failed is shown before the box.
        const QString noAnswer = f.controller().portName() + QStringLiteral(": read: no answer within 0.3 s\r\n");
        QCOMPARE(logAtMessage, (knobs.silentFromRecord > 0 ? noAnswer : QString()) + logBefore);
        QVERIFY(f.dlg->m_transport->m_hCom == SerialTransport::Handle::None);
        QCOMPARE(led->color(), ok ? LED_GREEN : LED_RED);
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
            QCOMPARE(int(g_bComMode), found ? 0 : 1);
            QCOMPARE(f.dlg->m_hid->m_hHid != nullptr, found);
            QVERIFY(LampIs(f.dlg->m_btnSwitchToHid, found ? IDI_BULB_GREEN : IDI_BULB_GREY));
            QVERIFY(LampIs(f.dlg->m_btnSwitchToCom, found ? IDI_BULB_GREY : IDI_BULB_GREEN));
        }
    }

    void open_data()
    {
        QTest::addColumn<bool>("flash");
        QTest::addColumn<QString>("name");  // empty: the dialog cancelled
        QTest::addColumn<bool>("comMode");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("taken");  // the path is kept in the kind's member
        // The name rules themselves are tested in tst_imagecore.
        QTest::newRow("eeprom fw.eep.mvx") << false << "fw.eep.mvx" << true << QString() << true;
        QTest::newRow("flash fw.mvx") << true << "fw.mvx" << true << QString() << true;
        QTest::newRow("flash fw.eep.mvx") << true << "fw.eep.mvx" << true << "Please choose .mvx file!" << false;
        QTest::newRow("eeprom fw.mvx") << false << "fw.mvx" << true << "Please choose .eep.mvx eeprom file!" << false;
        QTest::newRow("cancelled") << true << QString() << true << QString() << false;
        // A name in a folder that does not exist: never written.
        QTest::newRow("unreadable") << true << "gone/fw.mvx" << true << "Can't open the .mvx file!" << true;
        QTest::newRow("HID mode: no dialog") << true << "fw.mvx" << false << "Please switch to COM mode!" << false;
    }
    void open()
    {
        QFETCH(bool, flash);
        QFETCH(QString, name);
        QFETCH(bool, comMode);
        QFETCH(QString, message);
        QFETCH(bool, taken);
        DialogFixture f;
        f.open();
        g_bComMode = comMode ? 1 : 0;
        const QString path = name.isEmpty() ? QString() : Write(f, name, QByteArray("A\nB", 3));
        f.dlg->m_strLog = QStringLiteral("old\r\n");
        f.dlg->UpdateData(false);
        CLedCtrl* led = flash ? f.dlg->m_ledFlash : f.dlg->m_ledEeprom;
        f.dlg->SetLight(led, LED_GREEN);
        f.prompts.files << path;
        flash ? f.dlg->OnFlashOpen() : f.dlg->OnEepromOpen();
        QCOMPARE(f.prompts.filters, comMode ? QStringList{QStringLiteral("FILE(*.*) (*)")} : QStringList());
        QCOMPARE(f.prompts.messages, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(flash ? f.dlg->m_strFlashFile : f.dlg->m_strEepromFile, taken ? path : QString());
        const QString shown = taken && message.isEmpty() ? QStringLiteral("A\r\n\nB\r\n\r\n") : QString();
        QCOMPARE(f.dlg->m_strLog, shown + QStringLiteral("old\r\n"));
        QCOMPARE(f.shownLog().left(3), (shown + QStringLiteral("old")).left(3));  // the controls were reloaded
        // A refusal before a file is taken leaves the light; else it goes dark red.
        QCOMPARE(led->color(), !taken && !message.isEmpty() ? LED_GREEN : LED_RED);
    }

    void escapeStopsTheDownloadAndIsConsumed_data()
    {
        QTest::addColumn<int>("atRecord");  // Esc once this record has been written
        QTest::addColumn<bool>("held");     // posted, as input the window's waits held back
        QTest::newRow("Esc at record 5") << 5 << false;
        QTest::newRow("held Esc at record 5") << 5 << true;
        QTest::newRow("held Esc with the last record") << 227 << true;
    }
    void escapeStopsTheDownloadAndIsConsumed()
    {
        QFETCH(int, atRecord);
        QFETCH(bool, held);
        // Slow enough answers that held input is fetched during the download.
        DialogFixture f(SimKnobs{.answerDelayMs = 2});
        f.open();
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
        Download(f, true, Write(f, "fw.mvx", Lines(227)));
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
        QCOMPARE(f.shownLog(),
                 QStringLiteral("Download cancelled at record %1 of 227\r\n").arg(received) + logBefore);
    }

    void hugeFileIsShownInPart()
    {
        DialogFixture f;
        f.open();
        f.prompts.files << Write(f, "big.mvx", Lines(256 * 1024));  // 10.5 MB
        f.dlg->OnFlashOpen();
        QVERIFY(f.dlg->m_strLog.size() < 2 * 1024 * 1024);
        QVERIFY(f.dlg->m_strLog.contains(QStringLiteral("more bytes not shown")));
    }
};

QTEST_MAIN(TestDownload)
#include "tst_download.moc"
