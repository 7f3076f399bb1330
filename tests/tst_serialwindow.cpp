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
        // The controller in HID mode where the command is refused with a
        // message; swatch texts after the command, none when it is refused.
        QTest::addColumn<int>("button");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("logs");
        QTest::addColumn<QStringList>("swatches");
        QTest::newRow("d") << 0 << QByteArray("nndd") << "" << true
                           << QStringList{"  d  ", "9dsdada", "adsdada", "adsdada"};
        QTest::newRow("n") << 1 << QByteArray("nn") << "" << true
                           << QStringList{"9dsdada", "  n  ", "adsdada", "adsdada"};
        QTest::newRow("z") << 2 << QByteArray("nnzz") << "" << false
                           << QStringList{"adsdada", "9dsdada", "  z  ", "adsdada"};
        QTest::newRow("$") << 3 << QByteArray("$") << "" << false
                           << QStringList{"adsdada", "9dsdada", "adsdada", "  $  "};
        QTest::newRow("n in HID mode") << 1 << QByteArray() << "Please switch to COM mode!" << false << QStringList();
        QTest::newRow("$ in HID mode") << 3 << QByteArray() << "Please switch to CDC mode!" << false << QStringList();
    }
    void modeCommand()
    {
        QFETCH(int, button);
        QFETCH(QByteArray, sent);
        QFETCH(QString, message);
        QFETCH(bool, logs);
        QFETCH(QStringList, swatches);
        OpenedDialog f(KnobsIn(message.isEmpty() ? SimKnobs::Mode::Com : SimKnobs::Mode::Hid));
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
        } else {
            QCOMPARE(f.dlg->m_strLog, before);
        }
        const QColor face = f.dlg->palette().color(QPalette::Button);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(f.dlg->m_swatch[i]->marked(), !swatches.isEmpty());
            if (!swatches.isEmpty()) {
                QCOMPARE(f.dlg->m_swatch[i]->text(), swatches[i]);
                QCOMPARE(f.dlg->m_swatch[i]->background(), i == button ? QColor(0, 255, 0) : face);
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
