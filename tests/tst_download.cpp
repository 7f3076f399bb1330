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
// n lines "Lnnn...\n" of the given length (without LF).
QByteArray Lines(int n, int width = 40)
{
    QByteArray out;
    for (int i = 1; i <= n; ++i) {
        QByteArray line = "L" + QByteArray::number(i);
        line += QByteArray(width - line.size(), 'x');
        out += line + '\n';
    }
    return out;
}

QByteArray Record(const QByteArray& line)
{
    return line + QByteArray(287 - line.size(), '\0');
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

// What a finished download left behind.
struct After {
    QStringList messages;
    int records = 0;
    int bar = -1;
    bool portClosed = false;
    int ledColor = 0;
    int ledLit = -1;
};

// Opens the window, puts the image at path into the kind's member and runs
// its download. A short answer bound keeps the silent cases quick.
After Download(DialogFixture& f, bool flash, const QString& path)
{
    f.dlg->m_transport->setReadTimeoutMs(300);
    (flash ? f.dlg->m_strFlashFile : f.dlg->m_strEepromFile) = path;
    f.prompts.messages.clear();
    f.controller().clearRecords();
    // As a click runs it: device events wait until the download has ended.
    f.dlg->Run([&] { flash ? f.dlg->OnFlashDownload() : f.dlg->OnEepromDownload(); });
    After a;
    a.messages = f.prompts.messages;
    a.records = static_cast<int>(f.controller().records().size());
    a.bar = (flash ? f.dlg->m_progFlash : f.dlg->m_progEeprom)->value();
    a.portClosed = f.dlg->m_transport->m_hCom == SerialTransport::Handle::None;
    CLedCtrl* led = flash ? f.dlg->m_ledFlash : f.dlg->m_ledEeprom;
    a.ledColor = led->color();
    a.ledLit = led->m_bLit;
    return a;
}

bool SameIcon(const QIcon& a, int id)
{
    return a.cacheKey() == ToolIcon(id).cacheKey();
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
        text += QByteArray("a\0b\n", 4);        // NULs go as they are
        text += QByteArray(286, 'w') + "\n";    // the longest line that fits
        text += Lines(5);
        text += "tail";                         // last line without LF
        const After a = Download(f, false, Write(f, "fw.eep.mvx", text));
        QCOMPARE(a.messages, QStringList{OK});
        const auto records = f.controller().records();
        QCOMPARE(int(records.size()), 9);
        QCOMPARE(records[0], Record("abcde\n"));
        QCOMPARE(records[0].mid(6), QByteArray(281, '\0'));
        QCOMPARE(records[1], Record(QByteArray("a\0b\n", 4)));
        QCOMPARE(records[2], QByteArray(286, 'w') + "\n");
        QCOMPARE(records[8], Record("tail"));
    }

    void lineCounts_data()
    {
        QTest::addColumn<bool>("flash");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("message");
        QTest::newRow("eeprom 7") << false << 7 << LINE_COUNT;
        QTest::newRow("eeprom 8") << false << 8 << OK;
        QTest::newRow("eeprom 256") << false << 256 << OK;
        QTest::newRow("flash 226") << true << 226 << LINE_COUNT;
        QTest::newRow("flash 227") << true << 227 << OK;
        QTest::newRow("flash 256") << true << 256 << OK;
        QTest::newRow("flash 300") << true << 300 << OK;
        QTest::newRow("empty file") << false << 0 << LINE_COUNT;
    }
    void lineCounts()
    {
        QFETCH(bool, flash);
        QFETCH(int, lines);
        QFETCH(QString, message);
        DialogFixture f;
        f.open();
        const After a = Download(f, flash, Write(f, flash ? "fw.mvx" : "fw.eep.mvx", Lines(lines)));
        QCOMPARE(a.messages, QStringList{message});
        QCOMPARE(a.records, lines);  // every line is sent before the count is tested
        QCOMPARE(a.bar, 0);
        QVERIFY(a.portClosed);
        QCOMPARE(a.ledColor, message == OK ? LED_GREEN : LED_RED);
        QCOMPARE(a.ledLit, message == OK ? 1 : 0);
    }

    void answers_data()
    {
        QTest::addColumn<bool>("flash");
        QTest::addColumn<int>("wrongAt");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("records");
        QTest::newRow("flash: 129th answer not tested") << true << 129 << QByteArray("Erro") << OK << 227;
        QTest::newRow("flash: 128th tested") << true << 128 << QByteArray("Erro") << RETURN_ERROR << 128;
        QTest::newRow("flash: 130th tested") << true << 130 << QByteArray("Erro") << RETURN_ERROR << 130;
        QTest::newRow("eeprom: 129th tested") << false << 129 << QByteArray("Erro") << RETURN_ERROR << 129;
        QTest::newRow("lower-case p refused") << false << 1 << QByteArray("pass") << RETURN_ERROR << 1;
        QTest::newRow("P and any three bytes") << false << 3 << QByteArray("P\0\xff\x01", 4) << OK << 227;
    }
    void answers()
    {
        QFETCH(bool, flash);
        QFETCH(int, wrongAt);
        QFETCH(QByteArray, answer);
        QFETCH(QString, message);
        QFETCH(int, records);
        SimKnobs k;
        k.wrongAnswerAtRecord = wrongAt;
        std::copy(answer.begin(), answer.end(), k.wrongAnswer.begin());
        DialogFixture f(k);
        f.open();
        const After a = Download(f, flash, Write(f, flash ? "fw.mvx" : "fw.eep.mvx", Lines(227)));
        QCOMPARE(a.messages, QStringList{message});
        QCOMPARE(a.records, records);
        QCOMPARE(a.bar, 0);
        QVERIFY(a.portClosed);
    }

    void emptyLineEndsTheImage()
    {
        DialogFixture f;
        f.open();
        const After a = Download(f, false, Write(f, "fw.eep.mvx", Lines(10) + "\n" + Lines(5)));
        QCOMPARE(a.messages, QStringList{OK});
        QCOMPARE(a.records, 10);
    }

    void faults_data()
    {
        QTest::addColumn<int>("wrongAt");
        QTest::addColumn<int>("silentFrom");
        QTest::addColumn<int>("unplugAt");
        QTest::addColumn<bool>("noAnswerLine");
        QTest::newRow("wrong answer") << 3 << -1 << -1 << false;
        QTest::newRow("silence") << -1 << 3 << -1 << true;
        QTest::newRow("plug pulled") << -1 << -1 << 3 << false;
    }
    void faults()
    {
        QFETCH(int, wrongAt);
        QFETCH(int, silentFrom);
        QFETCH(int, unplugAt);
        QFETCH(bool, noAnswerLine);
        SimKnobs k;
        k.wrongAnswerAtRecord = wrongAt;
        k.silentFromRecord = silentFrom;
        k.unplugAtRecord = unplugAt;
        DialogFixture f(k);
        f.open();
        const QString path = Write(f, "fw.mvx", Lines(230));
        f.dlg->SetLight(f.dlg->m_ledFlash, LED_RED);
        const QString logBefore = f.dlg->m_strLog;

        // At the failure message the port is still open and the bar not reset.
        bool openAtMessage = false;
        int barAtMessage = -1;
        QString logAtMessage;
        f.prompts.onMessage = [&](const QString&) {
            openAtMessage = f.dlg->m_transport->m_hCom == SerialTransport::Handle::Open;
            barAtMessage = f.dlg->m_progFlash->value();
            logAtMessage = f.dlg->m_strLog;
        };
        const After a = Download(f, true, path);
        QCOMPARE(a.messages, QStringList{RETURN_ERROR});
        QCOMPARE(a.records, 3);
        QVERIFY(openAtMessage);
        QCOMPARE(barAtMessage, 3);
        QCOMPARE(a.bar, 0);
        QVERIFY(a.portClosed);
        QCOMPARE(a.ledColor, LED_RED);
        QCOMPARE(a.ledLit, 0);
        const QString line = QStringLiteral("No answer from the controller within 0.3 s!\r\n");
        QCOMPARE(logAtMessage, noAnswerLine ? line + logBefore : logBefore);
        if (noAnswerLine)
            QVERIFY(f.shownLog().startsWith(line));  // shown before the box
    }

    void successClosesBeforeTheMessage()
    {
        DialogFixture f;
        f.open();
        QList<int> barValues;
        connect(f.dlg->m_progEeprom, &QProgressBar::valueChanged, [&](int v) { barValues << v; });
        bool closedAtMessage = false;
        int barAtMessage = -1, ledAtMessage = -1;
        f.prompts.onMessage = [&](const QString&) {
            closedAtMessage = f.dlg->m_transport->m_hCom == SerialTransport::Handle::None;
            barAtMessage = f.dlg->m_progEeprom->value();
            ledAtMessage = f.dlg->m_ledEeprom->color();
        };
        const After a = Download(f, false, Write(f, "fw.eep.mvx", Lines(8)));
        QCOMPARE(a.messages, QStringList{OK});
        QCOMPARE(f.prompts.captions.last(), QStringLiteral("Error"));  // the dialog's own box
        QVERIFY(closedAtMessage);
        QCOMPARE(barAtMessage, 0);
        QVERIFY(ledAtMessage != LED_GREEN);  // the light follows the message
        QCOMPARE(f.dlg->m_progEeprom->maximum(), 8);
        QCOMPARE(barValues, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 0}));
    }

    void refusedBeforeThePortOpens_data()
    {
        QTest::addColumn<QByteArray>("content");  // null: no file at the path
        QTest::addColumn<QString>("message");
        QTest::newRow("missing file") << QByteArray() << QStringLiteral("Can't open the .mvx file!");
        QTest::newRow("line 12 of 287 chars")
            << QByteArray(Lines(11) + QByteArray(287, 'y') + "\n" + Lines(300))
            << QStringLiteral("Line 12 of the file is too long for one record!");
        QTest::newRow("one line of binary, no LF") << QByteArray(10000, '\x01')
                                                  << QStringLiteral("Line 1 of the file is too long for one record!");
    }
    void refusedBeforeThePortOpens()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        DialogFixture f;
        f.open();
        const QString path = content.isNull() ? f.dir.filePath("gone.mvx") : Write(f, "fw.mvx", content);
        const After a = Download(f, true, path);
        QCOMPARE(a.messages, QStringList{message});
        QCOMPARE(f.prompts.captions.last(), QCoreApplication::applicationName());  // the application's box
        QCOMPARE(a.records, 0);
        QCOMPARE(f.controller().serialLog(), QByteArray());
        QCOMPARE(a.ledColor, LED_RED);
    }

    void portThatCannotOpen()
    {
        DialogFixture f;
        f.open();
        f.dlg->m_strComPort = QStringLiteral("ttyNOSUCHPORT");
        const After a = Download(f, false, Write(f, "fw.eep.mvx", Lines(8)));
        QCOMPARE(a.messages, QStringList{RETURN_ERROR});
        QCOMPARE(a.records, 0);
        QCOMPARE(a.bar, 0);
        QVERIFY(a.portClosed);
    }

    void notInComMode()
    {
        DialogFixture f;
        f.open();
        g_bComMode = 0;
        f.prompts.files << Write(f, "fw.mvx", Lines(3));
        f.dlg->OnFlashOpen();
        f.dlg->OnEepromDownload();
        QCOMPARE(f.prompts.messages, QStringList(2, QStringLiteral("Please switch to COM mode!")));
        QCOMPARE(f.prompts.filters, QStringList());  // no file dialog shown
        QCOMPARE(f.controller().serialLog(), QByteArray());
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
        const After a = Download(f, true, Write(f, "fw.mvx", Lines(227)));
        QCOMPARE(a.messages, QStringList{OK});
        QCOMPARE(a.ledColor, LED_GREEN);
        QCOMPARE(int(g_bComMode), hidPresent ? 0 : 1);
        QCOMPARE(f.dlg->m_hid->m_hHid != nullptr, hidPresent);
        CHoverButton* toHid = f.dlg->m_btnSwitchToHid;
        CHoverButton* toCom = f.dlg->m_btnSwitchToCom;
        QVERIFY(SameIcon(toHid->normalIcon(), hidPresent ? IDI_BULB_GREEN : IDI_BULB_GREY));
        QVERIFY(SameIcon(toHid->hoverIcon(), hidPresent ? IDI_BULB_GREEN : IDI_BULB_GREY));
        QVERIFY(SameIcon(toCom->normalIcon(), hidPresent ? IDI_BULB_GREY : IDI_BULB_GREEN));
        QCOMPARE(toHid->iconTop(), 0);
        QCOMPARE(toHid->normalColor(), QColor(0, 0, 255));
        QCOMPARE(toCom->hoverColor(), QColor(0, 255, 0));
        QVERIFY(!toHid->isFlat() && !toCom->isFlat());
    }

    void open_data()
    {
        QTest::addColumn<bool>("flash");
        QTest::addColumn<QString>("name");  // relative to the test directory
        QTest::addColumn<QString>("message");
        // The name rules themselves are tested in tst_imagecore.
        QTest::newRow("eeprom fw.eep.mvx") << false << "fw.eep.mvx" << QString();
        QTest::newRow("flash fw.eep.mvx") << true << "fw.eep.mvx" << "Please choose .mvx file!";
        QTest::newRow("eeprom fw.mvx") << false << "fw.mvx" << "Please choose .eep.mvx eeprom file!";
        QTest::newRow("flash fw.mvx") << true << "fw.mvx" << QString();
    }
    void open()
    {
        QFETCH(bool, flash);
        QFETCH(QString, name);
        QFETCH(QString, message);
        DialogFixture f;
        f.open();
        const QString path = Write(f, name, QByteArray("A\nB", 3));
        f.dlg->m_strLog = QStringLiteral("old\r\n");
        f.dlg->UpdateData(false);
        CLedCtrl* led = flash ? f.dlg->m_ledFlash : f.dlg->m_ledEeprom;
        f.dlg->SetLight(led, LED_GREEN);
        f.prompts.files << path;
        flash ? f.dlg->OnFlashOpen() : f.dlg->OnEepromOpen();
        QCOMPARE(f.prompts.filters, QStringList{QStringLiteral("FILE(*.*) (*)")});
        const QString member = flash ? f.dlg->m_strFlashFile : f.dlg->m_strEepromFile;
        if (message.isEmpty()) {
            QCOMPARE(f.prompts.messages, QStringList());
            QCOMPARE(member, path);
            QCOMPARE(f.dlg->m_strLog, QStringLiteral("A\r\n\nB\r\n\r\nold\r\n"));
            QCOMPARE(f.shownLog().left(3), QStringLiteral("A\r\n"));  // the controls were reloaded
            QCOMPARE(led->color(), LED_RED);
            QCOMPARE(led->m_bLit, 0);
        } else {
            QCOMPARE(f.prompts.messages, QStringList{message});
            QCOMPARE(member, QString());
            QCOMPARE(f.dlg->m_strLog, QStringLiteral("old\r\n"));
            QCOMPARE(led->color(), LED_GREEN);  // unchanged
        }
    }

    void openCancelledOrUnreadable()
    {
        DialogFixture f;
        f.open();
        f.dlg->SetLight(f.dlg->m_ledFlash, LED_GREEN);
        const QString logBefore = f.dlg->m_strLog;
        f.prompts.files << QString();  // cancelled
        f.dlg->OnFlashOpen();
        QCOMPARE(f.prompts.messages, QStringList());
        QCOMPARE(f.dlg->m_strFlashFile, QString());
        QCOMPARE(f.dlg->m_ledFlash->color(), LED_RED);
        QCOMPARE(f.dlg->m_strLog, logBefore);

        f.prompts.files << f.dir.filePath("gone.mvx");
        f.dlg->OnFlashOpen();
        QCOMPARE(f.prompts.messages, QStringList{QStringLiteral("Can't open the .mvx file!")});
        QCOMPARE(f.dlg->m_strLog, logBefore);
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
        QCOMPARE(f.dlg->m_strFlashFile, f.dir.filePath("big.mvx"));
    }
};

QTEST_MAIN(TestDownload)
#include "tst_download.moc"
