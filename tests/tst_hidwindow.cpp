// The "Setting" command on the real window and the simulated controller:
// log as kept and as shown, version edit, HID light, the switch buttons'
// lamps, and that no handle is left open.
#include "TestSupport.h"
#include "controls/FrameEdit.h"
#include "controls/HoverButton.h"
#include "controls/LedCtrl.h"
#include "resources/Resources.h"
#include <QtTest>

namespace {
const QString EARLIER = QStringLiteral("earlier\r\n");
const QString FOUND_KEPT = QStringLiteral("CloseHandle worked!\r\nHID Opened OK!\r\nFound HID Device!\r\n");
const QString NOT_FOUND = QStringLiteral("Could not find the specified HID device!\r\n");
const QString NULL_CLOSE = QStringLiteral("CloseHandle Failed!\r\nHandle haved closed before this operation!\r\n");
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
        g_bComMode = static_cast<unsigned char>(comMode);
        const int comColor = f.dlg->m_ledCom->color();
        QTest::mouseClick(f.dlg->m_btnSetting, Qt::LeftButton);
        QCOMPARE(f.prompts.messages, comMode ? QStringList{QStringLiteral("Please switch to HID mode!")} : QStringList{});
        QCOMPARE(int(g_bComMode), comMode);
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
        DialogFixture f(KnobsIn(SimKnobs::Mode::Hid));
        f.open();
        f.dlg->m_strLog = EARLIER;
        f.dlg->UpdateData(false);
        f.dlg->m_editVid->setText(vid);
        f.dlg->m_editPid->setText(pid);
        g_bComMode = 1;  // not even the mode box
        f.dlg->OnSetting();
        QTEST(f.prompts.messages, "messages");
        QCOMPARE(f.dlg->m_strLog, EARLIER);
        QCOMPARE(f.shownLog(), EARLIER);
    }
};

QTEST_MAIN(TestHidWindow)
#include "tst_hidwindow.moc"
