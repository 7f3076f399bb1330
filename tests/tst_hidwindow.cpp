// The "Setting" command on the real window and the simulated controller:
// log as kept and as shown, version edit, HID light, the switch buttons'
// lamps, and that no handle is left open.
#include "TestSupport.h"
#include "controls/FrameEdit.h"
#include "controls/HoverButton.h"
#include "controls/LedCtrl.h"
#include "resources/Resources.h"
#include <QLineEdit>
#include <QtTest>

namespace {
const QString EARLIER = QStringLiteral("earlier\r\n");
const QString FOUND_KEPT = QStringLiteral("CloseHandle worked!\r\nHID Opened OK!\r\nFound HID Device!\r\n");
const QString NOT_FOUND = QStringLiteral("Could not find the specified HID device!\r\n");
const QString NULL_CLOSE = QStringLiteral("CloseHandle Failed!\r\nHandle haved closed before this operation!\r\n");

enum Action { OtherRemoved, Unplugged, TwoArrivals, Setting, Calibrate, SwitchToCom };
} // namespace

class TestHidWindow : public QObject {
    Q_OBJECT
private slots:
    void setting_data()
    {
        QTest::addColumn<bool>("inHid");  // else the controller is attached in COM mode
        QTest::addColumn<bool>("twin");   // a second controller (version 0x214) after the first
        QTest::addColumn<int>("comMode");
        QTest::newRow("found") << true << false << 0;
        QTest::newRow("two controllers: first wins") << true << true << 0;
        QTest::newRow("COM mode box, then found") << true << false << 1;
        QTest::newRow("not found") << false << false << 0;
        QTest::newRow("COM mode box, then not found") << false << false << 1;
    }
    void setting()
    {
        QFETCH(bool, inHid);
        QFETCH(bool, twin);
        QFETCH(int, comMode);
        DialogFixture f(KnobsIn(inHid ? SimKnobs::Mode::Hid : SimKnobs::Mode::Com));
        f.sim->hidBus().setTwinController(twin);
        f.open();
        f.dlg->m_strLog = EARLIER;
        f.dlg->UpdateData(false);
        f.dlg->g_bComMode = static_cast<unsigned char>(comMode);
        const int comColor = f.dlg->m_ledCom->color();
        QTest::mouseClick(f.dlg->m_btnSetting, Qt::LeftButton);
        QCOMPARE(f.prompts.messages, comMode ? QStringList{QStringLiteral("Please switch to HID mode!")} : QStringList{});
        QCOMPARE(int(f.dlg->g_bComMode), comMode);
        QCOMPARE(f.dlg->m_ledCom->color(), comColor);
        QCOMPARE(f.sim->hidBus().openControllerHandles(), 0);
        QCOMPARE(f.dlg->m_editVersion->isEnabled(), !inHid);
        // The HID light: bright green, or dark red.
        QCOMPARE(CentrePixel(f.dlg->m_ledHid), inHid ? CLedCtrl::BrightColor(LED_GREEN) : CLedCtrl::DarkColor(LED_RED));
        if (inHid) {
            QCOMPARE(f.dlg->m_strLog, FOUND_KEPT);
            QCOMPARE(f.shownLog(), QStringLiteral("Found HID Device!\r\n"));  // the close's message shows later
            QCOMPARE(f.dlg->m_editVersion->text(), QStringLiteral("0x213"));
            QVERIFY(LampIs(f.dlg->m_btnSwitchToHid, IDI_BULB_GREEN));
            QCOMPARE(f.dlg->m_btnSwitchToHid->iconTop(), -20);
            QVERIFY(LampIs(f.dlg->m_btnSwitchToCom, IDI_BULB_GREY));
        } else {
            QCOMPARE(f.dlg->m_strLog, NULL_CLOSE + NOT_FOUND + EARLIER);
            QCOMPARE(f.shownLog(), NOT_FOUND + EARLIER);
        }
    }

    void hidSideToldTruly_data()
    {
        QTest::addColumn<SimKnobs>("knobs");
        QTest::addColumn<bool>("closedNode");  // an interface with the controller's IDs this user may not open
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("shows");    // the log must hold this, once; empty: the log stays as it was
        QTest::addColumn<bool>("atTop");       // and in the box, at its top
        const QString closed = "sim:other-0: cannot open: Permission denied: run `scripts/install-udev-rule.sh`\r\n";
        SimKnobs refused = KnobsIn(SimKnobs::Mode::Hid), timesOut = KnobsIn(SimKnobs::Mode::Hid);
        refused.setFeatureError = EPIPE;
        timesOut.getFeatureError = ETIMEDOUT;
        const SimKnobs com = KnobsIn(SimKnobs::Mode::Com), hid = KnobsIn(SimKnobs::Mode::Hid),
                       absent = KnobsIn(SimKnobs::Mode::Com, false);
        QTest::newRow("another device removed, COM mode") << com << false << int(OtherRemoved) << "" << false;
        QTest::newRow("another device removed, HID mode") << hid << false << int(OtherRemoved) << "" << false;
        QTest::newRow("the controller unplugged") << com << false << int(Unplugged) << "" << false;
        QTest::newRow("Setting, closed to us") << absent << true << int(Setting) << NOT_FOUND + closed << true;
        QTest::newRow("two arrivals, closed to us, one line") << absent << true << int(TwoArrivals) << closed << false;
        QTest::newRow("Calibrate in COM mode") << com << false << int(Calibrate) << NOT_FOUND << true;
        QTest::newRow("Switch to COM, no controller") << absent << false << int(SwitchToCom) << NOT_FOUND << true;
        QTest::newRow("Switch to COM, report refused")
            << refused << false << int(SwitchToCom) << "sim:controller: feature report: Broken pipe\r\n" << false;
        QTest::newRow("Calibrate, the kernel gives up")
            << timesOut << false << int(Calibrate)
            << "HID calibrate failed1!\r\nsim:controller: read-back: Connection timed out (the kernel gives up after "
               "5 s)\r\n"
            << false;
    }
    void hidSideToldTruly()
    {
        QFETCH(SimKnobs, knobs);
        QFETCH(bool, closedNode);
        QFETCH(int, action);
        QFETCH(QString, shows);
        QFETCH(bool, atTop);
        DialogFixture f(knobs);
        if (closedNode)
            f.sim->hidBus().others().push_back({.attributes = {knobs.vid, knobs.pid, 0x0100}, .openable = false, .descriptor = {}});
        f.open();
        if (knobs.startMode == SimKnobs::Mode::Hid)
            f.dlg->Run([&] { f.dlg->OnDeviceChange(true); });  // the HID indication, as an arrival leaves it
        f.dlg->m_strLog = EARLIER;
        f.dlg->m_strVersion = QStringLiteral("0x213");
        f.dlg->UpdateData(false);
        const Indication before = ShownIndication(f);
        const QString portShown = f.dlg->m_editComPort->text();

        switch (action) {
        case OtherRemoved:
            f.controller().removeOtherDevice();
            break;
        case Unplugged:
            f.controller().unplug();
            break;
        case TwoArrivals:
            f.dlg->Run([&] { f.dlg->OnDeviceChange(true); });
            f.dlg->Run([&] { f.dlg->OnDeviceChange(true); });
            break;
        case Setting:
            QTest::mouseClick(f.dlg->m_btnSetting, Qt::LeftButton);
            break;
        case Calibrate:
            QTest::mouseClick(f.dlg->m_btnCalibrate, Qt::LeftButton);
            break;
        case SwitchToCom:
            QTest::mouseClick(f.dlg->m_btnSwitchToCom, Qt::LeftButton);
            break;
        }

        if (action == OtherRemoved || action == Unplugged) {
            // Only the controller's own leaving changes what is shown.
            const bool kept = action == OtherRemoved;
            QCOMPARE(ShownIndication(f), kept ? before : NO_MODE);
            QCOMPARE(f.dlg->m_editComPort->text(), kept ? portShown : QStringLiteral(" "));
            QCOMPARE(f.dlg->m_editVersion->text(), kept ? QStringLiteral("0x213") : QStringLiteral(" "));
            QCOMPARE(f.dlg->m_strLog, EARLIER);
            return;
        }
        QCOMPARE(f.dlg->m_strLog.count(shows), 1);
        if (action == SwitchToCom) {  // a switch that was not sent: no wait, no new mode
            QCOMPARE(f.clock.sleptMs(), 0);
            QCOMPARE(ShownIndication(f), before);
        }
        if (atTop)
            QVERIFY2(f.shownLog().startsWith(shows), qPrintable(f.shownLog()));
        else if (action != TwoArrivals)  // an arrival does not refresh the box
            QVERIFY2(f.shownLog().contains(shows), qPrintable(f.shownLog()));
    }

    void settingDoesNothing_data()
    {
        QTest::addColumn<QString>("vid");
        QTest::addColumn<QString>("pid");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("empty VID") << "" << "0107" << QStringList{};
        QTest::newRow("empty PID") << "2f5a" << "" << QStringList{};
        QTest::newRow("PID over 40 characters")
            << "2f5a" << QString(41, u'0') << QStringList{QStringLiteral("Please enter no more than 40 characters.")};
    }
    void settingDoesNothing()
    {
        QFETCH(QString, vid);
        QFETCH(QString, pid);
        OpenedDialog f(KnobsIn(SimKnobs::Mode::Hid));
        f.dlg->m_strLog = EARLIER;
        f.dlg->UpdateData(false);
        f.dlg->m_editVid->setText(vid);
        f.dlg->m_editPid->setText(pid);
        f.dlg->g_bComMode = 1;  // not even the mode box
        f.dlg->OnSetting();
        QTEST(f.prompts.messages, "messages");
        QCOMPARE(f.dlg->m_strLog, EARLIER);
        QCOMPARE(f.shownLog(), EARLIER);
    }
};

QTEST_MAIN(TestHidWindow)
#include "tst_hidwindow.moc"
