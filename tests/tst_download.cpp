// Choosing and downloading image files in the real window, against the
// simulated controller over a pseudo-terminal.
#include "TestSupport.h"
#include "controls/HoverButton.h"
#include "controls/LedCtrl.h"
#include "hid/HidLink.h"
#include "resources/Resources.h"
#include "serial/SerialTransport.h"
#include <QFile>
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
    const QString path = f.dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

const QString OK = QStringLiteral("DownLoad Successful!");
const QString RETURN_ERROR = QStringLiteral("Download Failed: Return Error");
const QString LINE_COUNT = QStringLiteral("Download Failed: Lines Number Of The File Is Error");
const QString NO_ANSWER = QStringLiteral("No answer from the controller within 0.3 s!\r\n");

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
        QTest::addColumn<bool>("badPort");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("records");  // as the controller received them
        const SimKnobs acks;
        const auto wrongAt = [](int n, std::array<char, 4> a = {'E', 'r', 'r', 'o'}) {
            return SimKnobs{.wrongAnswerAtRecord = n, .wrongAnswer = a};
        };
        QTest::newRow("eeprom 7 lines") << false << Lines(7) << acks << false << LINE_COUNT << 7;
        QTest::newRow("eeprom 8 lines") << false << Lines(8) << acks << false << OK << 8;
        QTest::newRow("flash 226 lines") << true << Lines(226) << acks << false << LINE_COUNT << 226;
        QTest::newRow("flash 227 lines") << true << Lines(227) << acks << false << OK << 227;
        QTest::newRow("flash 256 lines") << true << Lines(256) << acks << false << OK << 256;
        QTest::newRow("flash 300 lines") << true << Lines(300) << acks << false << OK << 300;
        QTest::newRow("empty file") << false << QByteArray("") << acks << false << LINE_COUNT << 0;
        QTest::newRow("empty line after line 10 ends the image")
            << false << QByteArray(Lines(10) + "\n" + Lines(5)) << acks << false << OK << 10;
        QTest::newRow("flash: 129th answer untested") << true << Lines(227) << wrongAt(129) << false << OK << 227;
        QTest::newRow("flash: 128th tested") << true << Lines(227) << wrongAt(128) << false << RETURN_ERROR << 128;
        QTest::newRow("flash: 130th tested") << true << Lines(227) << wrongAt(130) << false << RETURN_ERROR << 130;
        QTest::newRow("lower-case p refused") << false << Lines(8) << wrongAt(1, {'p', 'a', 's', 's'}) << false
                                              << RETURN_ERROR << 1;
        QTest::newRow("P and any three bytes") << false << Lines(8) << wrongAt(3, {'P', '\0', '\xff', '\x01'})
                                               << false << OK << 8;
        QTest::newRow("silent from record 3")
            << true << Lines(230) << SimKnobs{.silentFromRecord = 3} << false << RETURN_ERROR << 3;
        QTest::newRow("plug pulled at record 3")
            << true << Lines(230) << SimKnobs{.unplugAtRecord = 3} << false << RETURN_ERROR << 3;
        QTest::newRow("port cannot open") << false << Lines(8) << acks << true << RETURN_ERROR << 0;
        // Refused before the port opens.
        QTest::newRow("missing file") << true << QByteArray() << acks << false << "Can't open the .mvx file!" << 0;
        QTest::newRow("line 12 of 287 chars") << true << QByteArray(Lines(11) + QByteArray(287, 'y') + "\n" + Lines(300))
                                              << acks << false << "Line 12 of the file is too long for one record!" << 0;
    }
    void download()
    {
        QFETCH(bool, flash);
        QFETCH(QByteArray, image);
        QFETCH(SimKnobs, knobs);
        QFETCH(bool, badPort);
        QFETCH(QString, message);
        QFETCH(int, records);
        DialogFixture f(knobs);
        f.open();
        if (badPort)
            f.dlg->m_strComPort = QStringLiteral("ttyNOSUCHPORT");
        QProgressBar* bar = flash ? f.dlg->m_progFlash : f.dlg->m_progEeprom;
        CLedCtrl* led = flash ? f.dlg->m_ledFlash : f.dlg->m_ledEeprom;
        QList<int> barValues;
        connect(bar, &QProgressBar::valueChanged, [&](int v) { barValues << v; });
        const QString logBefore = f.dlg->m_strLog;
        bool openAtMessage = false;
        int barAtMessage = -1, ledAtMessage = -1;
        QString logAtMessage;
        f.prompts.onMessage = [&](const QString&) {
            openAtMessage = f.dlg->m_transport->m_hCom == SerialTransport::Handle::Open;
            barAtMessage = bar->value();
            ledAtMessage = led->color();
            logAtMessage = f.dlg->m_strLog;
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
        QCOMPARE(openAtMessage, !ok && !badPort && !refused);
        QCOMPARE(barAtMessage, ok ? 0 : records);
        QCOMPARE(ledAtMessage, LED_RED);
        const bool silent = knobs.silentFromRecord > 0;
        QCOMPARE(logAtMessage, (silent ? NO_ANSWER : QString()) + logBefore);
        QCOMPARE(f.shownLog().startsWith(NO_ANSWER), silent);  // shown before the box
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
    }

    void flashProbe_data()
    {
        QTest::addColumn<bool>("hidPresent");
        QTest::newRow("controller found over HID") << true;
        QTest::newRow("not found") << false;
    }
    void flashProbe()
    {
        QFETCH(bool, hidPresent);
        DialogFixture f;
        f.open();
        if (hidPresent) {
            // A device with the controller's IDs on the HID bus.
            SimHidBus::OtherDevice d;
            d.attributes = {f.controller().knobs().vid, f.controller().knobs().pid, 0x0100};
            d.descriptor = SimHidBus::controllerDescriptor();
            f.sim->hidBus().others().push_back(d);
        }
        Download(f, true, Write(f, "fw.mvx", Lines(227)));
        QCOMPARE(f.prompts.messages, QStringList{OK});
        QCOMPARE(int(g_bComMode), hidPresent ? 0 : 1);
        QCOMPARE(f.dlg->m_hid->m_hHid != nullptr, hidPresent);
        const int hidLamp = hidPresent ? IDI_BULB_GREEN : IDI_BULB_GREY;
        const int comLamp = hidPresent ? IDI_BULB_GREY : IDI_BULB_GREEN;
        QCOMPARE(f.dlg->m_btnSwitchToHid->normalIcon().cacheKey(), ToolIcon(hidLamp).cacheKey());
        QCOMPARE(f.dlg->m_btnSwitchToCom->normalIcon().cacheKey(), ToolIcon(comLamp).cacheKey());
        QCOMPARE(f.dlg->m_btnSwitchToHid->iconTop(), 0);
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

    void hugeFileIsShownInPart()
    {
        DialogFixture f;
        f.open();
        QByteArray big(10 * 1024 * 1024, 'z');
        for (qsizetype i = 100; i < big.size(); i += 100)
            big[i] = '\n';
        f.prompts.files << Write(f, "big.mvx", big);
        f.dlg->OnFlashOpen();
        QCOMPARE(f.prompts.messages, QStringList());
        QVERIFY(f.dlg->m_strLog.size() < 2 * 1024 * 1024);
        QVERIFY(f.dlg->m_strLog.contains(QStringLiteral("more bytes not shown")));
    }
};

QTEST_MAIN(TestDownload)
#include "tst_download.moc"
