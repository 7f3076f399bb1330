#include "TestSupport.h"
#include "controls/FrameEdit.h"
#include "controls/HoverButton.h"
#include "controls/LedCtrl.h"
#include "resources/DialogTemplate.h"
#include "resources/Resources.h"
#include <QComboBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QtTest>

// The main window as it opens, its data exchange and its message log, with
// no controller attached.
class TestMainWindow : public QObject {
    Q_OBJECT
    const SimKnobs absent = KnobsIn(SimKnobs::Mode::Com, false);

private slots:
    void everyControlOfTheTemplateInOrder()
    {
        DialogFixture f(absent);
        const auto& controls = MainDialogTemplate().controls;
        QCOMPARE(int(f.dlg->Children().size()), int(controls.size()));
        // Every id of the template through the window's typed look-up, as the
        // kind of control the template names (a wrong one ends the program).
        auto fetch = [&f](const ControlTemplate& c) -> QWidget* {
            switch (c.kind) {
            case ControlTemplate::Edit:
                return f.dlg->Control<QLineEdit>(c.id);
            case ControlTemplate::LogEdit:
                return f.dlg->Control<QPlainTextEdit>(c.id);
            case ControlTemplate::PushButton:
                return f.dlg->Control<CHoverButton>(c.id);
            case ControlTemplate::ComboBox:
                return f.dlg->Control<QComboBox>(c.id);
            case ControlTemplate::Light:
                return f.dlg->Control<CLedCtrl>(c.id);
            case ControlTemplate::ProgressBar:
                return f.dlg->Control<QProgressBar>(c.id);
            case ControlTemplate::RadioButton:
                return f.dlg->Control<QRadioButton>(c.id);
            default:
                return f.dlg->Control<QWidget>(c.id);
            }
        };
        for (std::size_t i = 0; i < controls.size(); ++i) {
            if (controls[i].id >= 0)
                QCOMPARE(fetch(controls[i]), f.dlg->Children()[i]);
            QCOMPARE(f.dlg->Children()[i]->parentWidget(), f.dlg.get());
        }
        QCOMPARE(f.dlg->windowTitle(), QStringLiteral("MORVAX Control Tesselon "));
    }

    void startUpState_data()
    {
        QTest::addColumn<QByteArray>("configIni");  // null: no file
        QTest::addColumn<QString>("other");             // "fifo": a FIFO by that name
        QTest::addColumn<QByteArray>("userConfigIni");  // in the user's settings folder; null: none
        QTest::addColumn<QString>("vid");
        QTest::addColumn<QString>("pid");
        const QByteArray ini("[VID/PID]\r\nVID=2f5a\r\nPID=0107\r\n");
        const QByteArray other("[VID/PID]\r\nVID=1111\r\nPID=2222\r\n");
        const QByteArray none;
        QTest::newRow("Config.ini") << ini << "" << none << "2f5a" << "0107";
        QTest::newRow("no Config.ini: empty") << none << "" << none << "" << "";
        QTest::newRow("only the user's Config.ini") << none << "" << other << "1111" << "2222";
        // Taken as no file, at once (a FIFO without a writer would otherwise
        // hold the start-up for ever), so the user's folder is looked at.
        QTest::newRow("Config.ini a FIFO: empty") << none << "fifo" << none << "" << "";
    }
    void startUpState()
    {
        QFETCH(QByteArray, configIni);
        QFETCH(QString, other);
        QFETCH(QByteArray, userConfigIni);
        DialogFixture f(absent, configIni.isNull() ? nullptr : configIni.constData());
        if (!other.isEmpty())
            QVERIFY(MakeNode(f.dir.filePath(QStringLiteral("Config.ini")), other));
        if (!userConfigIni.isNull())
            QVERIFY(WriteFile(f.userToolDir() + QStringLiteral("/Config.ini"), userConfigIni));
        f.open();
        for (CLedCtrl* led : {f.dlg->m_ledHid, f.dlg->m_ledCom, f.dlg->m_ledEeprom, f.dlg->m_ledFlash})
            QCOMPARE(CentrePixel(led), QColor(150, 0, 0));  // dark red body
        QCOMPARE(f.dlg->m_cbBaud->count(), 7);
        QCOMPARE(f.dlg->m_cbBaud->itemText(0), QStringLiteral("9600"));
        QCOMPARE(f.dlg->m_cbBaud->itemText(6), QStringLiteral("460800"));
        QCOMPARE(f.dlg->m_cbBaud->currentIndex(), -1);
        QTEST(f.dlg->m_editVid->text(), "vid");
        QTEST(f.dlg->m_editPid->text(), "pid");
        QCOMPARE(f.dlg->m_strLog, QString());
        QCOMPARE(f.dlg->m_editLog->toPlainText(), QString());
        // Grey lamps ("Switch to HID" turns green when the port search finds no port).
        for (CHoverButton* b : {f.dlg->m_btnSwitchToCom, f.dlg->m_btnCalibrate})
            QCOMPARE(b->normalIcon().pixmap(32, 32).toImage().pixel(BULB_GLASS_X, BULB_GLASS_Y), BULB_GREY_GLASS);
    }

    // The log, newest first, through the box. Steps: "L<text>" logs, "S"
    // refreshes the box, "R" reads it back, "T<text>" types at the end of
    // the box, "A<text>" replaces the log.
    void logBoxAfterSteps_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("box");       // the box's text at the end
        QTest::addColumn<QString>("readBack");  // then the log read back
        // Typed text becomes part of the log at the next read-back and stays
        // below what is logged after it.
        QTest::newRow("typed text after a refresh of new messages")
            << QStringList{"Lfirst\r\n", "S", "Lsecond\r\n", "S", "Ttyped", "R", "Lthird\r\n", "S"}
            << "third\nsecond\nfirst\ntyped" << "third\r\nsecond\r\nfirst\r\ntyped";
        QTest::newRow("typing replaced by a refresh") << QStringList{"La\r\n", "S", "Tlost", "S"} << "a\n" << "a\r\n";
        // Lone LFs (as a file's text shows) are invisible in the box, but a
        // read-back of an untouched box gives the log back unchanged.
        QTest::newRow("untouched box round-trips exactly")
            << QStringList{"LA\r\n\nB\r\n\r\n", "S"} << "A\nB\n\n" << "A\r\n\nB\r\n\r\n";
        QTest::newRow("typing replaced by a refresh of new messages")
            << QStringList{"La\r\n", "S", "Lb\r\n", "S", "Tlost", "Lc\r\n", "S"} << "c\nb\na\n"
            << "c\r\nb\r\na\r\n";
        QTest::newRow("the log replaced after new messages were shown")
            << QStringList{"La\r\n", "S", "Lb\r\n", "S", "AFound HID Device!\r\n", "S"} << "Found HID Device!\n"
            << "Found HID Device!\r\n";
        QTest::newRow("a new CR meets the LF the box begins with")
            << QStringList{"L\nA\r\n", "S", "LB\r", "S"} << "B\nA\n" << "B\r\nA\r\n";
        QTest::newRow("a message without a line end runs into the shown line")
            << QStringList{"La\r\n", "S", "Lb", "S"} << "ba\n" << "ba\r\n";
        QTest::newRow("messages not shown yet are not read back")
            << QStringList{"La\r\n", "S", "Lb\r\n", "R", "S"} << "a\n" << "a\r\n";
    }
    void logBoxAfterSteps()
    {
        QFETCH(QStringList, steps);
        OpenedDialog f(absent);
        for (const QString& step : steps) {
            const QString text = step.mid(1);
            switch (step[0].unicode()) {
            case 'L': f.dlg->Log(text); break;
            case 'S': f.dlg->UpdateData(false); break;
            case 'R': QVERIFY(f.dlg->UpdateData(true)); break;
            case 'A': f.dlg->m_strLog = text; break;
            case 'T':
                f.dlg->m_editLog->moveCursor(QTextCursor::End);
                QTest::keyClicks(f.dlg->m_editLog, text);
                break;
            }
        }
        QTEST(f.dlg->m_editLog->toPlainText(), "box");
        QVERIFY(f.dlg->UpdateData(true));
        QTEST(f.dlg->m_strLog, "readBack");
    }

    void aRefreshScrollsToTheNewestMessage()
    {
        OpenedDialog f(absent);
        f.dlg->Log(QStringLiteral("older\r\n").repeated(100));
        f.dlg->UpdateData(false);
        QScrollBar* bar = f.dlg->m_editLog->verticalScrollBar();
        bar->setValue(bar->maximum());
        QVERIFY(bar->value() > 0);
        f.dlg->Log("newest\r\n");
        f.dlg->UpdateData(false);
        QCOMPARE(bar->value(), 0);
    }

    void readBackChecksTheIdLengths()
    {
        OpenedDialog f(absent, "[VID/PID]\nVID=0123456789012345678901234567890123456789ab\nPID=0107\n");
        // Shown in full, though longer than typing allows.
        QCOMPARE(f.dlg->m_editVid->text().size(), 42);
        f.dlg->m_editComPort->setText("typed port");
        QVERIFY(!f.dlg->UpdateData(true));
        QCOMPARE(f.prompts.messages, QStringList{"Please enter no more than 40 characters."});
        // The bindings after the failed check were not read back.
        QCOMPARE(f.dlg->m_strComPort, QString());
        QCOMPARE(f.dlg->m_strPid, QStringLiteral("0107"));

        // Typing cannot make a 40-character text longer.
        f.dlg->m_editPid->setText(QString(40, u'1'));
        f.dlg->m_editPid->end(false);
        QTest::keyClicks(f.dlg->m_editPid, "2");
        QCOMPARE(f.dlg->m_editPid->text(), QString(40, u'1'));
    }

    void enterInTheVidBoxEndsTheDialogWhenTheExchangeSucceeds()
    {
        OpenedDialog f(absent);
        QSignalSpy accepted(f.dlg.get(), &QDialog::accepted);
        f.dlg->m_editVid->setText(QString(41, u'f'));
        QTest::keyClick(f.dlg->m_editVid, Qt::Key_Return);
        QCOMPARE(accepted.count(), 0);
        QVERIFY(f.dlg->isVisible());
        f.dlg->m_editVid->setText("2f5a");
        QTest::keyClick(f.dlg->m_editVid, Qt::Key_Return);
        QCOMPARE(accepted.count(), 1);
    }

    void escapeCancelsAndTheCloseBoxWaitsForAnOperation()
    {
        OpenedDialog f(absent);
        QSignalSpy rejected(f.dlg.get(), &QDialog::rejected);
        // While an operation runs the close box is refused, so the port or
        // device it holds is not left behind a hidden window.
        f.dlg->Run([&] { QVERIFY(!f.dlg->close()); });
        QVERIFY(f.dlg->isVisible());
        QTest::keyClick(f.dlg->m_editPid, Qt::Key_Escape);
        QCOMPARE(rejected.count(), 1);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
