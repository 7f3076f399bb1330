// Mode switching and the reaction to device arrival and removal, on the real
// window and the simulated controller (its serial side a real pty).
#include "TestSupport.h"
#include "controls/HoverButton.h"
#include "controls/LedCtrl.h"
#include "hid/HidLink.h"
#include "operations/ModeSwitch.h"
#include "resources/Resources.h"
#include "serial/SerialTransport.h"
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QtTest>

namespace {
enum Presence { InHid, InCom, Absent };

SimKnobs knobsIn(Presence p) { return KnobsIn(p == InHid ? SimKnobs::Mode::Hid : SimKnobs::Mode::Com, p != Absent); }

// Lets the simulated controller's serial thread and the clock run until cond
// holds or five seconds of real time have passed.
template <class Cond> bool settle(DialogFixture& f, Cond cond)
{
    QElapsedTimer t;
    t.start();
    while (!cond() && t.elapsed() < 5000) {
        f.clock.advance(100);
        QTest::qWait(5);
    }
    return cond();
}

// A status light: 1 green and lit, 0 red and unlit, -1 anything else.
int light(CLedCtrl* led)
{
    if (led->color() == LED_GREEN && led->m_bLit == 1)
        return 1;
    return led->color() == LED_RED && led->m_bLit == 0 ? 0 : -1;
}

// The indication the window shows as one value, for comparisons.
struct Indication {
    int comMode;
    bool toHidGreen, toComGreen;
    int hidLight, comLight;
    bool operator==(const Indication&) const = default;
};
Indication indication(DialogFixture& f)
{
    return {g_bComMode, LampIs(f.dlg->m_btnSwitchToHid, IDI_BULB_GREEN), LampIs(f.dlg->m_btnSwitchToCom, IDI_BULB_GREEN),
            light(f.dlg->m_ledHid), light(f.dlg->m_ledCom)};
}
const Indication HID_MODE{0, true, false, 1, 0};
const Indication COM_MODE{1, false, true, 0, 1};
const Indication NOTHING{0, false, false, 0, 0};
} // namespace
Q_DECLARE_METATYPE(Indication)

class TestSwitch : public QObject {
    Q_OBJECT
private slots:
    void deviceEventOutcomes_data()
    {
        QTest::addColumn<int>("presence");
        QTest::addColumn<bool>("arrived");
        QTest::addColumn<Indication>("shown");
        QTest::addColumn<bool>("calibrateKept");     // else grey
        QTest::addColumn<bool>("portIsController");  // else " "
        QTest::addColumn<bool>("refreshed");         // the port box shows the new name
        QTest::addColumn<bool>("keepsHandle");
        QTest::newRow("arrival, HID device found") << int(InHid) << true << HID_MODE << true << false << false << true;
        QTest::newRow("arrival, USB serial port found")
            << int(InCom) << true << COM_MODE << false << true << true << false;
        QTest::newRow("arrival, nothing found")
            << int(Absent) << true << Indication{0, true, false, 0, 0} << false << false << false << false;
        QTest::newRow("removal") << int(InCom) << false << NOTHING << false << false << true << false;
    }
    void deviceEventOutcomes()
    {
        QFETCH(int, presence);
        QFETCH(bool, arrived);
        QFETCH(Indication, shown);
        QFETCH(bool, calibrateKept);
        QFETCH(bool, portIsController);
        QFETCH(bool, refreshed);
        QFETCH(bool, keepsHandle);
        DialogFixture f(knobsIn(Presence(presence)));
        f.open();
        // A state the event must overwrite: the opposite mode, an old port
        // name in the box, a green calibrate lamp, a version.
        f.dlg->m_strComPort = QStringLiteral("ttyOLD");
        f.dlg->m_strVersion = QStringLiteral("9.9");
        f.dlg->UpdateData(false);
        f.dlg->ConfigureBulb(f.dlg->m_btnCalibrate, IDI_BULB_GREEN, -20);
        g_bComMode = shown.comMode ? 0 : 1;

        f.dlg->Run([&] { f.dlg->OnDeviceChange(arrived); });

        QCOMPARE(indication(f), shown);
        // "Switch to HID" carries the lamp at the top of the button here.
        QCOMPARE(f.dlg->m_btnSwitchToHid->iconTop(), 0);
        QVERIFY(LampIs(f.dlg->m_btnCalibrate, calibrateKept ? IDI_BULB_GREEN : IDI_BULB_GREY));
        const QString port = portIsController ? f.controller().portName() : QStringLiteral(" ");
        QCOMPARE(f.dlg->m_strComPort, port);
        QCOMPARE(f.dlg->m_editComPort->text(), refreshed ? port : QStringLiteral("ttyOLD"));
        QCOMPARE(f.dlg->m_editComPort->isEnabled(), !portIsController);
        QCOMPARE(f.dlg->m_cbBaud->currentIndex(), portIsController ? 6 : -1);
        if (!arrived)
            QCOMPARE(f.dlg->m_editVersion->text(), QStringLiteral(" "));
        QCOMPARE(bool(f.dlg->m_hid->m_hHid), keepsHandle);
        QCOMPARE(f.sim->hidBus().openControllerHandles(), keepsHandle ? 1 : 0);
    }

    void roundTripComToHidToCom()
    {
        DialogFixture f(knobsIn(InCom));
        f.open();
        QCOMPARE(indication(f), COM_MODE);
        const QString firstPort = f.controller().portName();

        // Run as a click does, looking at the handler's own result before the
        // device events it caused are handled.
        f.dlg->Run([&] {
            f.dlg->OnSwitchToHid();
            QVERIFY(f.prompts.messages.isEmpty());
            QCOMPARE(indication(f), HID_MODE);
            QCOMPARE(f.dlg->m_btnSwitchToHid->iconTop(), -20);
            QCOMPARE(f.dlg->m_strComPort, QStringLiteral(" "));
            QCOMPARE(f.dlg->m_editComPort->text(), firstPort);  // not refreshed yet
            QCOMPARE(f.dlg->m_cbBaud->currentIndex(), -1);
            QCOMPARE(f.dlg->m_transport->m_hCom, SerialTransport::Handle::None);
            QCOMPARE(f.clock.sleptMs(), 2000);
        });

        // The controller got the command, leaves and comes back over HID; the
        // events say so.
        QVERIFY(settle(f, [&] { return f.controller().presentAs(SimKnobs::Mode::Hid) && f.dlg->m_hid->m_hHid; }));
        QCOMPARE(f.controller().serialLog(), QByteArray("\x26"));
        QCOMPARE(indication(f), HID_MODE);
        QCOMPARE(f.dlg->m_strVersion, QStringLiteral("0x213"));

        f.dlg->m_strLog.clear();
        f.dlg->UpdateData(false);
        QTest::mouseClick(f.dlg->m_btnSwitchToCom, Qt::LeftButton);
        QVERIFY(f.prompts.messages.isEmpty());
        // The switch happened inside the 2000 ms wait; the events that came
        // meanwhile were handled after the handler, and found the new port.
        QVERIFY(f.controller().presentAs(SimKnobs::Mode::Com));
        QCOMPARE(indication(f), COM_MODE);
        QVERIFY(LampIs(f.dlg->m_btnCalibrate, IDI_BULB_GREY));
        QCOMPARE(f.dlg->m_strComPort, f.controller().portName());
        QCOMPARE(f.dlg->m_editComPort->text(), f.controller().portName());
        QVERIFY(f.dlg->m_strLog.endsWith(QStringLiteral("CloseHandle worked!\r\nHID Opened OK!\r\nFound HID Device!\r\n")));
        QVERIFY(!f.dlg->m_hid->m_hHid);
        QCOMPARE(f.sim->hidBus().openControllerHandles(), 0);
    }

    void switchToHidInHidModeClosesHeldHandleFirst()
    {
        DialogFixture f(knobsIn(InHid));
        f.open();
        f.dlg->Run([&] { f.dlg->OnDeviceChange(true); });  // keeps the controller open
        QCOMPARE(f.sim->hidBus().openControllerHandles(), 1);
        f.dlg->m_strLog.clear();
        int handlesAtMessage = -1;
        f.prompts.onMessage = [&](const QString&) { handlesAtMessage = f.sim->hidBus().openControllerHandles(); };
        f.dlg->OnSwitchToHid();
        QCOMPARE(f.prompts.messages, QStringList{QStringLiteral("Already Open USBHID!")});
        QCOMPARE(handlesAtMessage, 0);
        QCOMPARE(f.dlg->m_strLog, QStringLiteral("CloseHandle worked!\r\n"));
        QVERIFY(!f.dlg->m_hid->m_hHid);
    }

    void switchToHidWithAPortThatCannotOpen()
    {
        DialogFixture f(knobsIn(InCom));
        f.open();
        f.dlg->m_editComPort->setText(QStringLiteral("ttyNOSUCH"));
        f.dlg->OnSwitchToHid();
        QCOMPARE(f.prompts.messages, QStringList{QStringLiteral("COM cannot open!")});
        QCOMPARE(f.prompts.captions, QStringList{QStringLiteral("Error")});
        QCOMPARE(indication(f), COM_MODE);
        QCOMPARE(f.clock.sleptMs(), 0);  // no wait
        QCOMPARE(f.dlg->m_transport->m_hCom, SerialTransport::Handle::None);
    }

    void openPortIsClosedFirst_data()
    {
        QTest::addColumn<bool>("calibrate");
        QTest::newRow("Switch to COM") << false;
        QTest::newRow("Calibrate") << true;
    }
    void openPortIsClosedFirst()
    {
        QFETCH(bool, calibrate);
        DialogFixture f(knobsIn(InCom));
        f.open();
        g_bComMode = 0;  // taken to be in HID mode, while a port is still open
        QCOMPARE(f.dlg->m_transport->OpenComPort(f.controller().portName()), 0);
        f.dlg->m_strLog.clear();
        if (calibrate)
            f.dlg->OnCalibrate();
        else
            f.dlg->OnSwitchToCom();
        QCOMPARE(f.dlg->m_transport->m_hCom, SerialTransport::Handle::None);
        // The open is exclusive: only a closed port opens again.
        SerialTransport other(f.clock);
        QCOMPARE(other.OpenComPort(f.controller().portName()), 0);
        other.CloseComPort();
        // Not in HID mode: the search fails and nothing is sent.
        QCOMPARE(f.dlg->m_strLog, QStringLiteral("Could not find the specified HID device!\r\n"));
        QCOMPARE(f.clock.sleptMs(), 0);
        QVERIFY(f.controller().presentAs(SimKnobs::Mode::Com));
    }

    void commandNotTakenGivesNoWait()
    {
        // A command that did not go out cannot make the controller switch, so
        // the handlers neither wait nor claim the new mode.
        struct RefusingDevice : HidDevice {
            bool attributes(HidAttributes&) override { return false; }
            bool caps(HidCaps&) override { return false; }
            bool setFeature(const std::uint8_t*, std::size_t) override { return false; }
            bool getFeature(std::uint8_t*, std::size_t) override { return false; }
        } refusing;
        ManualClock clock;
        SerialTransport closed(clock);
        QCOMPARE(ModeSwitch::toHid(closed, clock), -1);
        QVERIFY(!ModeSwitch::toCom(refusing, clock));
        QCOMPARE(clock.sleptMs(), 0);
    }

    void eventStormEndsWithTheLastEvent_data()
    {
        QTest::addColumn<int>("presence");
        QTest::addColumn<bool>("lastArrives");
        QTest::newRow("HID controller, arrival last") << int(InHid) << true;
        QTest::newRow("serial controller, arrival last") << int(InCom) << true;
        QTest::newRow("HID controller, removal last") << int(InHid) << false;
    }
    void eventStormEndsWithTheLastEvent()
    {
        QFETCH(int, presence);
        QFETCH(bool, lastArrives);
        DialogFixture f(knobsIn(Presence(presence)));
        f.open();
        const Indication before = indication(f);
        f.dlg->Run([&] {
            // Events during an operation wait for its end.
            for (int i = 0; i < 200; ++i) {
                emit f.controller().arrived(QStringLiteral("usb"));
                emit f.controller().removed(QStringLiteral("hidraw"));
            }
            if (lastArrives)
                emit f.controller().arrived(QStringLiteral("tty"));
            QCOMPARE(indication(f), before);
        });
        const Indication after = !lastArrives ? NOTHING : presence == InHid ? HID_MODE : COM_MODE;
        QCOMPARE(indication(f), after);
        // Every arrival opened the controller anew; only the last handle is
        // held (a removal leaves it).
        QCOMPARE(f.sim->hidBus().openControllerHandles(), presence == InHid ? 1 : 0);
    }
};

QTEST_MAIN(TestSwitch)
#include "tst_switch.moc"
