// The serial link in the main window on the simulated controller: the port
// search at start-up, the baud list, the mode commands and their swatches.
#include "TestSupport.h"
#include "controls/ModeSwatch.h"
#include "resources/Resources.h"
#include "serial/SerialTransport.h"
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

namespace {
const QString REPORT = QStringLiteral("$ +00001 ,-00002 ,+00030 ,+00127 ,+00000 ,-00056 ,\r\n");

// Colours no eye tells apart.
bool Near(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) <= 8 && std::abs(a.green() - b.green()) <= 8 &&
           std::abs(a.blue() - b.blue()) <= 8;
}
} // namespace

class TestSerialWindow : public QObject {
    Q_OBJECT
private slots:
    // Without the controller's port: no port, no baud rate, and the lamp on
    // "Switch to HID" green. (With it, the port and the rate found at
    // start-up are what the mode commands and the baud list below use.)
    void startupInHidModeFindsNoPort()
    {
        OpenedDialog f(KnobsIn(SimKnobs::Mode::Hid));
        QCOMPARE(f.dlg->m_strComPort, QString());
        QCOMPARE(f.dlg->m_editComPort->text(), QString());
        QCOMPARE(f.dlg->m_cbBaud->currentText(), QString());
        QCOMPARE(ShownIndication(f), NO_PORT);
    }

    void modeCommand_data()
    {
        // Where the controller is: "COM", "HID" (the command is refused with
        // a message) or "COM, takes no data" (not a byte of the command
        // leaves). A command marks its own swatch only when all its bytes
        // left.
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("logs");  // the status reports
        QTest::addColumn<bool>("marks");
        QTest::newRow("d") << 0 << "COM" << QByteArray("nndd") << "" << true << true;
        QTest::newRow("n") << 1 << "COM" << QByteArray("nn") << "" << true << true;
        QTest::newRow("z") << 2 << "COM" << QByteArray("nnzz") << "" << false << true;
        QTest::newRow("$") << 3 << "COM" << QByteArray("$") << "" << false << true;
        QTest::newRow("n in HID mode") << 1 << "HID" << QByteArray() << "Please switch to COM mode!" << false << false;
        QTest::newRow("$ in HID mode") << 3 << "HID" << QByteArray() << "Please switch to CDC mode!" << false << false;
        QTest::newRow("z, the controller takes no data") << 2 << "COM, takes no data" << QByteArray() << "" << false
                                                         << false;
    }
    void modeCommand()
    {
        QFETCH(int, button);
        QFETCH(QString, setup);
        QFETCH(QByteArray, sent);
        QFETCH(QString, message);
        QFETCH(bool, logs);
        QFETCH(bool, marks);
        SimKnobs knobs = KnobsIn(setup == "HID" ? SimKnobs::Mode::Hid : SimKnobs::Mode::Com);
        const bool stalls = setup == "COM, takes no data";
        knobs.stallFromRecord = stalls ? 1 : -1;
        OpenedDialog f(knobs);
        if (stalls)  // the one row that waits for the bound
            f.dlg->m_transport->setWriteTimeoutMs(300);
        const QString before = f.dlg->m_strLog;
        const qint64 slept = f.clock.sleptMs();
        QTest::mouseClick(f.dlg->m_radio[button], Qt::LeftButton);
        QCOMPARE(f.prompts.messages, message.isEmpty() ? QStringList() : QStringList{message});
        // The simulated controller reads on a thread of its own: the bytes may
        // reach it a moment after the command has returned.
        QTRY_COMPARE(f.controller().serialLog(), sent);
        QCOMPARE(f.clock.sleptMs() - slept, 30 * sent.size());  // a pause after each byte
        QCOMPARE(f.dlg->m_transport->m_hCom, SerialTransport::Handle::None);
        if (logs) {
            // One line per report, newest first, on screen as well.
            QVERIFY(f.dlg->m_strLog.startsWith(REPORT));
            QVERIFY(f.dlg->m_strLog.count(REPORT) > 10);
            QCOMPARE(f.dlg->m_strLog.size(), f.dlg->m_strLog.count(REPORT) * REPORT.size() + before.size());
            QCOMPARE(f.shownLog(), f.dlg->m_strLog);
        } else if (!stalls) {  // a failure's line is the fault table's
            QCOMPARE(f.dlg->m_strLog, before);
        }
        // What the swatches show: the command's letter in black on green in
        // its own, when it marks; nothing but the window's colours elsewhere.
        const QPalette pal = f.dlg->palette();
        for (int i = 0; i < 4; ++i) {
            ModeSwatch* swatch = f.dlg->m_swatch[i];
            const QImage img = swatch->grab().toImage();
            const QRect inside = swatch->insideRect();
            if (marks && i == button) {
                QVERIFY(CountPixels(img, inside, [](QColor c) { return c == QColor(0, 255, 0); }) > 0);
                QVERIFY(CountPixels(img, inside, [](QColor c) { return c.lightness() < 60; }) > 0);
                QCOMPARE(swatch->text().trimmed(), QString(QLatin1Char("dnz$"[button])));
            } else {
                // (A blanking text in the face's colour may leave a pixel a
                // shade off, which nobody sees.)
                QCOMPARE(CountPixels(img, inside, [&](QColor c) {
                             return !Near(c, pal.color(QPalette::Button)) && !Near(c, pal.color(QPalette::Window));
                         }),
                         0);
            }
        }
    }

    void baudRateAppliesOnlyOnAChoice_data()
    {
        // How the user acts on the baud list; the entry that gets applied,
        // -1 for none. With the port the list starts on 460800 (index 6),
        // without it on no entry.
        QTest::addColumn<bool>("present");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("applied");
        QTest::newRow("38400 clicked in the opened list") << true << "click 1" << 1;
        QTest::newRow("9600 picked with the keys, no port") << false << "keys 0" << 0;
        QTest::newRow("Up on the closed list") << true << "Up" << 5;
        QTest::newRow("Down on the closed list, no port") << false << "Down" << 0;
        QTest::newRow("9600 typed, focus lost") << true << "type 9600, leave" << -1;
        QTest::newRow("9600 typed, Enter") << true << "type 9600, Enter" << -1;
        QTest::newRow("11 typed, Enter, no port") << false << "type 11, Enter" << -1;
    }
    void baudRateAppliesOnlyOnAChoice()
    {
        QFETCH(bool, present);
        QFETCH(QString, action);
        QFETCH(int, applied);
        OpenedDialog f(KnobsIn(SimKnobs::Mode::Com, present));
        QComboBox* cb = f.dlg->m_cbBaud;
        const QString before = f.dlg->m_strLog;
        const int lightBefore = LightState(f.dlg->m_ledCom);
        QApplication::setActiveWindow(f.dlg.get());
        cb->setFocus();
        const QStringList words = action.split(u' ');
        if (words[0] == "click" || words[0] == "keys") {
            const int row = words[1].toInt();
            cb->showPopup();
            QAbstractItemView* view = cb->view();
            if (words[0] == "click") {
                QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                                  view->visualRect(view->model()->index(row, 0)).center());
            } else {
                view->setCurrentIndex(view->model()->index(3, 0));
                for (int i = 3; i > row; --i)
                    QTest::keyClick(view, Qt::Key_Up);
                QTest::keyClick(view, Qt::Key_Return);
            }
            QVERIFY(!view->isVisible());
        } else if (words[0] == "type") {
            cb->lineEdit()->selectAll();  // typing replaces what the field shows
            QTest::keyClicks(cb, words[1].chopped(1));
            QCOMPARE(cb->currentText().left(2), words[1].left(2));
            if (words[2] == "leave")
                f.dlg->m_editComPort->setFocus();
            else
                QTest::keyClick(cb, Qt::Key_Return);
        } else {
            QTest::keyClick(cb, words[0] == "Up" ? Qt::Key_Up : Qt::Key_Down);
        }

        if (applied < 0) {
            QCOMPARE(f.dlg->m_strLog, before);
            QCOMPARE(QString::fromLatin1(f.dlg->m_transport->lineSettings().settings()),
                     QStringLiteral("baud=460800 parity=N data=8 stop=2"));
            QCOMPARE(f.dlg->m_transport->lineSettings().rate(), 460800);
            QCOMPARE(LightState(f.dlg->m_ledCom), lightBefore);
            return;
        }
        QCOMPARE(cb->currentIndex(), applied);
        const QString port = present ? f.controller().portName() : QString();
        const QString expected = QStringLiteral("Com is: ") + port + QStringLiteral("\r\n\r\nBaud is: ") +
                                 cb->itemText(applied) + QStringLiteral("bps\r\n\r\n") + before;
        QCOMPARE(f.dlg->m_strLog, expected);
        QCOMPARE(f.shownLog(), expected);
        QCOMPARE(QString::fromLatin1(f.dlg->m_transport->lineSettings().settings()),
                 QStringLiteral("baud=%1 parity=N data=8 stop=2").arg(cb->itemText(applied)));
        QCOMPARE(f.dlg->m_transport->lineSettings().rate(), cb->itemText(applied).toInt());
        QCOMPARE(LightState(f.dlg->m_ledCom), 1);
    }
};

QTEST_MAIN(TestSerialWindow)
#include "tst_serialwindow.moc"
