// "Calibrate" on the simulated controller in HID mode: the whole-second
// timing rule, the answer bytes, a failing or endless read-back, the log and
// the button's lamp.
#include "TestSupport.h"
#include "controls/HoverButton.h"
#include "hid/HidLink.h"
#include "operations/Calibration.h"
#include "resources/Resources.h"
#include <QtTest>

namespace {
const QString OPENED = QStringLiteral("HID Opened OK!\r\nFound HID Device!\r\n");
} // namespace

class TestCalibration : public QObject {
    Q_OBJECT
private slots:
    void timingAndAnswer_data()
    {
        QTest::addColumn<int>("startMs");        // clock time of the click, ms past a whole second
        QTest::addColumn<int>("calibrationMs");  // how long the controller calibrates
        QTest::addColumn<int>("answer");         // byte 1 of its answer
        QTest::addColumn<bool>("succeeds");

        QTest::newRow("right answer within the same second fails") << 0 << 200 << 0x02 << false;
        QTest::newRow("right answer after two seconds succeeds") << 0 << 2000 << 0x02 << true;
        // Second 59 of a minute to second 2 of the next.
        QTest::newRow("across a minute boundary succeeds") << 39000 << 3000 << 0x02 << true;
        // Whole seconds count, not the time between: 0.3 s across a second.
        QTest::newRow("short answer in the next second succeeds") << 800 << 300 << 0x02 << true;
        QTest::newRow("answer 0x02 0x01 fails") << 0 << 2500 << 0x01 << false;
    }
    void timingAndAnswer()
    {
        QFETCH(int, startMs);
        QFETCH(int, calibrationMs);
        QFETCH(int, answer);
        QFETCH(bool, succeeds);
        SimKnobs k = KnobsIn(SimKnobs::Mode::Hid);
        k.calibrationMs = calibrationMs;
        k.calibrationResult = static_cast<std::uint8_t>(answer);
        OpenedDialog f(k);
        // The fixture's clock starts on a whole second, 20 s into a minute.
        QCOMPARE(f.clock.wallSeconds() % 60, 20);
        f.clock.advance(startMs);
        f.dlg->m_strLog.clear();
        f.dlg->UpdateData(false);

        QTest::mouseClick(f.dlg->m_btnCalibrate, Qt::LeftButton);

        const QString verdict =
            succeeds ? QStringLiteral("HID calibrate successfully!\r\n") : QStringLiteral("HID calibrate failed1!\r\n");
        QCOMPARE(f.dlg->m_strLog, QStringLiteral("CloseHandle worked!\r\n") + verdict + OPENED);
        QCOMPARE(f.shownLog(), f.dlg->m_strLog);
        QCOMPARE(LampIs(f.dlg->m_btnCalibrate, IDI_BULB_GREEN), succeeds);
        QCOMPARE(LampIs(f.dlg->m_btnCalibrate, IDI_BULB_GREY), !succeeds);
        QVERIFY(!f.dlg->m_hid->m_hHid);
        QCOMPARE(f.sim->hidBus().openControllerHandles(), 0);
    }

    void controllerVanishingDuringTheReadBackFails()
    {
        SimKnobs k = KnobsIn(SimKnobs::Mode::Hid);
        k.calibrationMs = 3000;
        OpenedDialog f(k);
        f.clock.schedule(1500, [&f] { f.controller().unplug(); });
        f.dlg->m_strLog.clear();
        QTest::mouseClick(f.dlg->m_btnCalibrate, Qt::LeftButton);
        // The removal came during the operation and was handled after it.
        QVERIFY(f.dlg->m_strLog.contains(QStringLiteral("HID calibrate failed1!\r\n"
                                                        "sim:controller: read-back: the device is gone")) ||
                f.dlg->m_strLog.contains(QStringLiteral("HID calibrate failed1!\r\n"
                                                        "sim:controller: read-back: No such device")));
        QVERIFY(!f.dlg->m_strLog.contains(QStringLiteral("successfully")));
        QVERIFY(LampIs(f.dlg->m_btnCalibrate, IDI_BULB_GREY));
        QCOMPARE(f.dlg->m_strVersion, QStringLiteral(" "));
        QCOMPARE(f.sim->hidBus().openControllerHandles(), 0);
    }

    void readBackWithoutAnswerEndsAtTheBound_data()
    {
        QTest::addColumn<bool>("shutDownWhileWaiting");
        QTest::newRow("answer comes late") << false;
        QTest::newRow("window closes while the read waits") << true;
    }
    void readBackWithoutAnswerEndsAtTheBound()
    {
        QFETCH(bool, shutDownWhileWaiting);
        SimKnobs k = KnobsIn(SimKnobs::Mode::Hid);
        k.calibrationMs = Calibration::DEFAULT_READBACK_TIMEOUT_MS + 10000;
        auto f = std::make_unique<OpenedDialog>(k);
        f->dlg->m_strLog.clear();
        f->dlg->OnCalibrate();
        QCOMPARE(f->dlg->m_strLog, QStringLiteral("CloseHandle worked!\r\nHID calibrate failed1!\r\n"
                                                  "sim:controller: read-back: no answer within 30 s\r\n") +
                                       OPENED);
        QVERIFY(LampIs(f->dlg->m_btnCalibrate, IDI_BULB_GREY));
        QVERIFY(!f->dlg->m_hid->m_hHid);
        // The read is still blocked; the device is released once it returns.
        QCOMPARE(f->sim->hidBus().openControllerHandles(), 1);
        if (shutDownWhileWaiting) {
            f.reset();  // the window and the simulated platform go first
            return;
        }
        f->clock.advance(20000);
        QTRY_COMPARE_WITH_TIMEOUT(f->sim->hidBus().openControllerHandles(), 0, 5000);
    }
};

QTEST_MAIN(TestCalibration)
#include "tst_calibration.moc"
