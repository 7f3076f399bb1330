// The "Setting" command on the real window and the simulated controller:
// log as kept and as shown, version edit, HID light, the switch buttons'
// lamps, and the handle left behind.
#include "TestSupport.h"
#include "controls/FrameEdit.h"
#include "controls/HoverButton.h"
#include "controls/LedCtrl.h"
#include "hid/HidLink.h"
#include "resources/Resources.h"
#include <QLineEdit>
#include <QtTest>

namespace {
const QString FOUND_KEPT = QStringLiteral("CloseHandle worked!\r\nHID Opened OK!\r\nFound HID Device!\r\n");
const QString NOT_FOUND = QStringLiteral("Could not find the specified HID device!\r\n");
const QString NULL_CLOSE = QStringLiteral("CloseHandle Failed!\r\nHandle haved closed before this operation!\r\n");

SimKnobs Knobs(SimKnobs::Mode mode)
{
    SimKnobs k;
    k.startMode = mode;
    return k;
}

bool SameIcon(const QIcon& a, int id)
{
    return a.pixmap(32).toImage() == ToolIcon(id).pixmap(32).toImage();
}

// Puts text into an edit as typing would leave it, before the handler reads it.
void SetEdit(QLineEdit* edit, const QString& text)
{
    edit->setValidator(nullptr);
    edit->setText(text);
}
} // namespace

class TestHidWindow : public QObject {
    Q_OBJECT
private:
    static void checkFound(DialogFixture& f, const QString& version)
    {
        QCOMPARE(f.dlg->m_strLog, FOUND_KEPT);
        QCOMPARE(f.shownLog(), QStringLiteral("Found HID Device!\r\n"));
        QCOMPARE(f.dlg->m_editVersion->text(), version);
        QVERIFY(!f.dlg->m_editVersion->isEnabled());
        QCOMPARE(f.dlg->m_ledHid->color(), LED_GREEN);
        QCOMPARE(f.dlg->m_ledHid->m_bLit, 1);
        QCOMPARE(CentrePixel(f.dlg->m_ledHid), CLedCtrl::BrightColor(LED_GREEN));
        QVERIFY(SameIcon(f.dlg->m_btnSwitchToHid->normalIcon(), IDI_BULB_GREEN));
        QCOMPARE(f.dlg->m_btnSwitchToHid->iconTop(), -20);
        QVERIFY(SameIcon(f.dlg->m_btnSwitchToCom->normalIcon(), IDI_BULB_GREY));
        QVERIFY(!f.dlg->m_hid->m_hHid);
        QCOMPARE(f.sim->hidBus().openControllerHandles(), 0);
    }

private slots:
    void settingFindsTheControllerAfterOtherDevices()
    {
        DialogFixture f(Knobs(SimKnobs::Mode::Hid));
        SimHidBus::OtherDevice keyboard;
        keyboard.attributes = {0x046d, 0xc31c, 0x0110};
        keyboard.openable = false;
        SimHidBus::OtherDevice other;
        other.attributes = {0x2f5a, 0x0108, 0x0001};
        f.sim->hidBus().others() = {keyboard, other};
        f.open();
        const unsigned char comMode = g_bComMode;
        const int comColor = f.dlg->m_ledCom->color();
        QTest::mouseClick(f.dlg->m_btnSetting, Qt::LeftButton);
        checkFound(f, QStringLiteral("0x213"));
        QVERIFY(f.prompts.messages.isEmpty());
        QCOMPARE(g_bComMode, comMode);
        QCOMPARE(f.dlg->m_ledCom->color(), comColor);
        QCOMPARE(f.dlg->m_hid->m_wInputReportLen, 64);
        // The next refresh shows what the log holds.
        f.dlg->UpdateData(false);
        QCOMPARE(f.shownLog(), FOUND_KEPT);
    }

    void firstOfTwoControllersWins()
    {
        DialogFixture f(Knobs(SimKnobs::Mode::Hid));
        f.sim->hidBus().setTwinController(true);  // the twin reports version 0x214
        f.open();
        f.dlg->OnSetting();
        checkFound(f, QStringLiteral("0x213"));
    }

    void settingInComModeAsksThenSearches_data()
    {
        QTest::addColumn<bool>("controllerInHid");
        QTest::newRow("controller absent from HID") << false;
        QTest::newRow("controller present in HID") << true;
    }
    void settingInComModeAsksThenSearches()
    {
        QFETCH(bool, controllerInHid);
        DialogFixture f(Knobs(controllerInHid ? SimKnobs::Mode::Hid : SimKnobs::Mode::Com));
        f.open();
        g_bComMode = 1;
        f.dlg->OnSetting();
        QCOMPARE(f.prompts.messages, QStringList{QStringLiteral("Please switch to HID mode!")});
        if (controllerInHid) {
            checkFound(f, QStringLiteral("0x213"));
        } else {
            QVERIFY(f.shownLog().startsWith(NOT_FOUND));
            QCOMPARE(f.dlg->m_ledHid->color(), LED_RED);
        }
        QCOMPARE(g_bComMode, 1);
    }

    void settingWithoutTheController_data()
    {
        QTest::addColumn<QString>("vid");
        QTest::newRow("controller absent") << "2f5a";
        QTest::newRow("VID holds blanks") << "    ";
        QTest::newRow("VID with prefix") << "0x2f5a";
        QTest::newRow("VID of 40 characters") << QString(40, u'f');
    }
    void settingWithoutTheController()
    {
        QFETCH(QString, vid);
        const bool absent = QTest::currentDataTag() == QByteArray("controller absent");
        SimKnobs knobs = Knobs(SimKnobs::Mode::Hid);
        knobs.startPresent = !absent;
        DialogFixture f(knobs);
        f.open();
        f.dlg->m_strLog = QStringLiteral("earlier\r\n");
        f.dlg->UpdateData(false);
        SetEdit(f.dlg->m_editVid, vid);
        f.dlg->OnSetting();
        QCOMPARE(f.shownLog(), NOT_FOUND + QStringLiteral("earlier\r\n"));
        QCOMPARE(f.dlg->m_strLog, NULL_CLOSE + NOT_FOUND + QStringLiteral("earlier\r\n"));
        QCOMPARE(f.dlg->m_ledHid->color(), LED_RED);
        QCOMPARE(f.dlg->m_ledHid->m_bLit, 0);
        QCOMPARE(CentrePixel(f.dlg->m_ledHid), CLedCtrl::DarkColor(LED_RED));
        QVERIFY(!f.dlg->m_hid->m_hHid);
        QVERIFY(f.dlg->m_editVersion->isEnabled());
        QCOMPARE(f.sim->hidBus().openControllerHandles(), 0);
        QVERIFY(f.prompts.messages.isEmpty());
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
        DialogFixture f(Knobs(SimKnobs::Mode::Hid));
        f.open();
        f.dlg->m_strLog = QStringLiteral("earlier\r\n");
        f.dlg->UpdateData(false);
        const int color = f.dlg->m_ledHid->color();
        SetEdit(f.dlg->m_editVid, vid);
        SetEdit(f.dlg->m_editPid, pid);
        g_bComMode = 1;  // not even the mode box
        f.dlg->OnSetting();
        QTEST(f.prompts.messages, "messages");
        QCOMPARE(f.dlg->m_strLog, QStringLiteral("earlier\r\n"));
        QCOMPARE(f.shownLog(), QStringLiteral("earlier\r\n"));
        QCOMPARE(f.dlg->m_ledHid->color(), color);
        QVERIFY(f.dlg->m_editVersion->isEnabled());
    }
};

QTEST_MAIN(TestHidWindow)
#include "tst_hidwindow.moc"
