// The serial link in the main window on the simulated controller: the port
// search at start-up, the baud list, the mode commands and their swatches.
#include "TestSupport.h"
#include "controls/HoverButton.h"
#include "controls/LedCtrl.h"
#include "controls/ModeSwatch.h"
#include "resources/Resources.h"
#include "serial/SerialTransport.h"
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

namespace {
const QString REPORT = QStringLiteral("$ +00001 ,-00002 ,+00030 ,+00127 ,+00000 ,-00056 ,\r\n");

// Whether a fresh paint of the widget shows any pure green.
bool PaintsGreen(QWidget* w)
{
    const QImage img = w->grab().toImage();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) == QColor(0, 255, 0))
                return true;
    return false;
}

bool HasIcon(CHoverButton* b, int icon) { return b->normalIcon().cacheKey() == ToolIcon(icon).cacheKey(); }
} // namespace

class TestSerialWindow : public QObject {
    Q_OBJECT
private slots:
    void startupFindsControllerInComMode()
    {
        DialogFixture f;
        f.open();
        const QString port = f.controller().portName();
        QVERIFY(!port.isEmpty());
        QCOMPARE(f.dlg->m_strComPort, port);
        QCOMPARE(f.dlg->m_editComPort->text(), port);
        QCOMPARE(f.dlg->m_cbBaud->currentText(), QStringLiteral("460800"));
        QCOMPARE(g_bComMode, 1);
        QCOMPARE(f.dlg->m_ledCom->color(), LED_GREEN);
        QCOMPARE(f.dlg->m_ledCom->m_bLit, 1);
        QCOMPARE(f.dlg->m_ledHid->color(), LED_RED);
        QCOMPARE(f.dlg->m_ledHid->m_bLit, 0);
        QVERIFY(HasIcon(f.dlg->m_btnSwitchToCom, IDI_BULB_GREEN));
        QVERIFY(HasIcon(f.dlg->m_btnSwitchToHid, IDI_BULB_GREY));
    }

    void startupWithoutControllerPort_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<int>("mode");
        QTest::newRow("absent") << false << int(SimKnobs::Mode::Com);
        QTest::newRow("in HID mode") << true << int(SimKnobs::Mode::Hid);
    }
    void startupWithoutControllerPort()
    {
        QFETCH(bool, present);
        QFETCH(int, mode);
        SimKnobs knobs;
        knobs.startPresent = present;
        knobs.startMode = SimKnobs::Mode(mode);
        DialogFixture f(knobs);
        f.open();
        QCOMPARE(f.dlg->m_strComPort, QString());
        QCOMPARE(f.dlg->m_cbBaud->currentIndex(), -1);
        QCOMPARE(g_bComMode, 0);
        QCOMPARE(f.dlg->m_ledCom->color(), LED_RED);
        QCOMPARE(f.dlg->m_ledCom->m_bLit, 0);
        QCOMPARE(f.dlg->m_ledHid->color(), LED_RED);
        QVERIFY(HasIcon(f.dlg->m_btnSwitchToHid, IDI_BULB_GREEN));
        QVERIFY(HasIcon(f.dlg->m_btnSwitchToCom, IDI_BULB_GREY));
    }

    void modeCommandSendsLogsAndMarks_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<bool>("logs");
        QTest::addColumn<QStringList>("swatches");
        QTest::newRow("d") << 0 << QByteArray("nndd") << true
                           << QStringList{"  d  ", "9dsdada", "adsdada", "adsdada"};
        QTest::newRow("n") << 1 << QByteArray("nn") << true
                           << QStringList{"9dsdada", "  n  ", "adsdada", "adsdada"};
        QTest::newRow("z") << 2 << QByteArray("nnzz") << false
                           << QStringList{"adsdada", "9dsdada", "  z  ", "adsdada"};
        QTest::newRow("$") << 3 << QByteArray("$") << false
                           << QStringList{"adsdada", "9dsdada", "adsdada", "  $  "};
    }
    void modeCommandSendsLogsAndMarks()
    {
        QFETCH(int, button);
        QFETCH(QByteArray, sent);
        QFETCH(bool, logs);
        QFETCH(QStringList, swatches);
        DialogFixture f;
        f.open();
        const QString before = f.dlg->m_strLog;
        const qint64 slept = f.clock.sleptMs();
        QTest::mouseClick(f.dlg->m_radio[button], Qt::LeftButton);
        QCOMPARE(f.controller().serialLog(), sent);
        QCOMPARE(f.clock.sleptMs() - slept, 30 * sent.size());  // a pause after each byte
        QCOMPARE(f.dlg->m_transport->m_hCom, SerialTransport::Handle::None);
        if (logs) {
            // One line per report, newest first, on screen as well.
            QVERIFY(f.dlg->m_strLog.startsWith(REPORT));
            QVERIFY(f.dlg->m_strLog.count(REPORT) > 10);
            QCOMPARE(f.dlg->m_strLog.size(), f.dlg->m_strLog.count(REPORT) * REPORT.size() + before.size());
            QCOMPARE(f.shownLog(), f.dlg->m_strLog);
        } else {
            QCOMPARE(f.dlg->m_strLog, before);
        }
        const QColor face = f.dlg->palette().color(QPalette::Button);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(f.dlg->m_swatch[i]->text(), swatches[i]);
            QCOMPARE(f.dlg->m_swatch[i]->background(), i == button ? QColor(0, 255, 0) : face);
            // The mark is painted again whenever the swatch is painted.
            QCOMPARE(PaintsGreen(f.dlg->m_swatch[i]), i == button);
        }
    }

    void modeCommandRefusedOutsideComMode_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("message");
        QTest::newRow("d") << 0 << "Please switch to COM mode!";
        QTest::newRow("n") << 1 << "Please switch to COM mode!";
        QTest::newRow("z") << 2 << "Please switch to COM mode!";
        QTest::newRow("$") << 3 << "Please switch to CDC mode!";
    }
    void modeCommandRefusedOutsideComMode()
    {
        QFETCH(int, button);
        QFETCH(QString, message);
        SimKnobs knobs;
        knobs.startMode = SimKnobs::Mode::Hid;
        DialogFixture f(knobs);
        f.open();
        QTest::mouseClick(f.dlg->m_radio[button], Qt::LeftButton);
        QCOMPARE(f.prompts.messages, QStringList{message});
        QCOMPARE(f.controller().serialLog(), QByteArray());
        for (ModeSwatch* s : f.dlg->m_swatch)
            QVERIFY(!s->marked());
    }

    void baudChoiceLogsAndSetsNextOpen_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("settings");
        QTest::newRow("38400 with the port") << true << 1 << "baud=38400 parity=N data=8 stop=2";
        QTest::newRow("9600 without a port") << false << 0 << "baud=9600 parity=N data=8 stop=2";
        QTest::newRow("460800") << true << 6 << "baud=460800 parity=N data=8 stop=2";
    }
    void baudChoiceLogsAndSetsNextOpen()
    {
        QFETCH(bool, present);
        QFETCH(int, index);
        QFETCH(QString, settings);
        SimKnobs knobs;
        knobs.startPresent = present;
        DialogFixture f(knobs);
        f.open();
        const QString before = f.dlg->m_strLog;
        f.dlg->m_cbBaud->setCurrentIndex(index);
        emit f.dlg->m_cbBaud->activated(index);
        const QString expected = QStringLiteral("Com is: ") + f.controller().portName() +
                                 QStringLiteral("\r\n\r\nBaud is: ") + f.dlg->m_cbBaud->itemText(index) +
                                 QStringLiteral("bps\r\n\r\n") + before;
        QCOMPARE(f.dlg->m_strLog, expected);
        QCOMPARE(f.shownLog(), expected);
        QCOMPARE(QString::fromLatin1(f.dlg->m_transport->g_pszCommDef), settings);
        QCOMPARE(f.dlg->m_ledCom->color(), LED_GREEN);
        QCOMPARE(f.dlg->m_ledCom->m_bLit, 1);
    }
};

QTEST_MAIN(TestSerialWindow)
#include "tst_serialwindow.moc"
