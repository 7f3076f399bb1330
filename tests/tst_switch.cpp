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
enum Lamp { Grey, Green, Unchanged };
enum Presence { InHid, InCom, Absent };

bool lampIs(CHoverButton* b, int icon) { return b->normalIcon().cacheKey() == ToolIcon(icon).cacheKey(); }
int lampIcon(Lamp l) { return l == Green ? IDI_BULB_GREEN : IDI_BULB_GREY; }

SimKnobs knobsIn(Presence p)
{
    SimKnobs k;
    k.startMode = p == InHid ? SimKnobs::Mode::Hid : SimKnobs::Mode::Com;
    k.startPresent = p != Absent;
    return k;
}

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

void checkLight(CLedCtrl* led, int color, int lit)
{
    QCOMPARE(led->color(), color);
    QCOMPARE(led->shape(), LED_CIRCLE);
    QCOMPARE(led->period(), 500);
    QCOMPARE(led->m_bLit, lit);
}

// The indication the window shows as one value, for comparisons.
struct Indication {
    int comMode;
    bool toHidGreen, toComGreen, hidLit, comLit;
    bool operator==(const Indication&) const = default;
};
Indication indication(DialogFixture& f)
{
    return {g_bComMode, lampIs(f.dlg->m_btnSwitchToHid, IDI_BULB_GREEN), lampIs(f.dlg->m_btnSwitchToCom, IDI_BULB_GREEN),
            f.dlg->m_ledHid->m_bLit == 1, f.dlg->m_ledCom->m_bLit == 1};
}
const Indication HID_MODE{0, true, false, true, false};
const Indication COM_MODE{1, false, true, false, true};
} // namespace

class TestSwitch : public QObject {
    Q_OBJECT
private slots:
    void deviceEventOutcomes_data()
    {
        QTest::addColumn<int>("presence");
        QTest::addColumn<bool>("arrived");
        QTest::addColumn<int>("comMode");
        QTest::addColumn<int>("toHid");
        QTest::addColumn<int>("toCom");
        QTest::addColumn<int>("calibrate");
        QTest::addColumn<int>("hidColor");
        QTest::addColumn<int>("comColor");
        QTest::addColumn<bool>("portIsController");  // else " "
        QTest::addColumn<int>("baudIndex");
        QTest::addColumn<bool>("refreshed");  // the port box shows the new name
        QTest::addColumn<bool>("keepsHandle");

        QTest::newRow("arrival, HID device found")
            << int(InHid) << true << 0 << int(Green) << int(Grey) << int(Unchanged) << LED_GREEN << LED_RED << false
            << -1 << false << true;
        QTest::newRow("arrival, USB serial port found")
            << int(InCom) << true << 1 << int(Grey) << int(Green) << int(Grey) << LED_RED << LED_GREEN << true << 6
            << true << false;
        QTest::newRow("arrival, nothing found") << int(Absent) << true << 0 << int(Green) << int(Grey) << int(Grey)
                                                << LED_RED << LED_RED << false << -1 << false << false;
        QTest::newRow("removal") << int(InCom) << false << 0 << int(Grey) << int(Grey) << int(Grey) << LED_RED
                                 << LED_RED << false << -1 << true << false;
    }
    void deviceEventOutcomes()
    {
        QFETCH(int, presence);
        QFETCH(bool, arrived);
        QFETCH(int, comMode);
        QFETCH(int, toHid);
        QFETCH(int, toCom);
        QFETCH(int, calibrate);
        QFETCH(int, hidColor);
        QFETCH(int, comColor);
        QFETCH(bool, portIsController);
        QFETCH(int, baudIndex);
        QFETCH(bool, refreshed);
        QFETCH(bool, keepsHandle);

        DialogFixture f(knobsIn(Presence(presence)));
        f.open();
        // A state the event must overwrite: the opposite lamps, an old port
        // name in the box, a green calibrate lamp, a version.
        f.dlg->m_strComPort = QStringLiteral("ttyOLD");
        f.dlg->m_strVersion = QStringLiteral("9.9");
        f.dlg->UpdateData(false);
        f.dlg->ConfigureBulb(f.dlg->m_btnCalibrate, IDI_BULB_GREEN, -20);
        g_bComMode = comMode ? 0 : 1;

        f.dlg->Run([&] { f.dlg->OnDeviceChange(arrived); });

        QCOMPARE(int(g_bComMode), comMode);
        QVERIFY(lampIs(f.dlg->m_btnSwitchToHid, lampIcon(Lamp(toHid))));
        QVERIFY(lampIs(f.dlg->m_btnSwitchToCom, lampIcon(Lamp(toCom))));
        // "Switch to HID" carries the lamp at the top of the button here.
        QCOMPARE(f.dlg->m_btnSwitchToHid->iconTop(), 0);
        QVERIFY(lampIs(f.dlg->m_btnCalibrate, calibrate == Unchanged ? IDI_BULB_GREEN : lampIcon(Lamp(calibrate))));
        checkLight(f.dlg->m_ledHid, hidColor, hidColor == LED_GREEN ? 1 : 0);
        checkLight(f.dlg->m_ledCom, comColor, comColor == LED_GREEN ? 1 : 0);
        const QString port = portIsController ? f.controller().portName() : QStringLiteral(" ");
        QCOMPARE(f.dlg->m_strComPort, port);
        QCOMPARE(f.dlg->m_editComPort->text(), refreshed ? port : QStringLiteral("ttyOLD"));
        QCOMPARE(f.dlg->m_editComPort->isEnabled(), !portIsController);
        QCOMPARE(f.dlg->m_cbBaud->currentIndex(), baudIndex);
        if (!arrived)
            QCOMPARE(f.dlg->m_editVersion->text(), QStringLiteral(" "));
        QCOMPARE(bool(f.dlg->m_hid->m_hHid), keepsHandle);
        QCOMPARE(f.sim->hidBus().openControllerHandles(), keepsHandle ? 1 : 0);
    }

    void portEditStaysDisabledAfterLaterEvents()
    {
        DialogFixture f(knobsIn(InCom));
        f.open();
        QVERIFY(f.dlg->m_editComPort->isEnabled());
        f.dlg->Run([&] { f.dlg->OnDeviceChange(true); });
        f.controller().unplug();
        QCOMPARE(indication(f), (Indication{0, false, false, false, false}));
        f.dlg->Run([&] { f.dlg->OnDeviceChange(true); });
        QVERIFY(!f.dlg->m_editComPort->isEnabled());
    }

    void roundTripComToHidToCom()
    {
        DialogFixture f(knobsIn(InCom));
        f.open();
        QCOMPARE(indication(f), COM_MODE);
        const QString firstPort = f.controller().portName();
        QCOMPARE(f.dlg->m_editComPort->text(), firstPort);

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
        if (QTest::currentTestFailed())
            return;

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
        QVERIFY(lampIs(f.dlg->m_btnCalibrate, IDI_BULB_GREY));
        QCOMPARE(f.dlg->m_strComPort, f.controller().portName());
        QCOMPARE(f.dlg->m_editComPort->text(), f.controller().portName());
        QVERIFY(!f.dlg->m_editComPort->isEnabled());
        QCOMPARE(f.dlg->m_cbBaud->currentIndex(), 6);
        QVERIFY(f.dlg->m_strLog.endsWith(QStringLiteral("CloseHandle worked!\r\nHID Opened OK!\r\nFound HID Device!\r\n")));
        QVERIFY(!f.dlg->m_hid->m_hHid);
        QCOMPARE(f.sim->hidBus().openControllerHandles(), 0);

        // The lights as painted.
        const QColor hid = CentrePixel(f.dlg->m_ledHid), com = CentrePixel(f.dlg->m_ledCom);
        QVERIFY2(com.green() > 200 && com.red() < 100, qPrintable(com.name()));
        QVERIFY2(hid.red() > 100 && hid.green() < 60, qPrintable(hid.name()));

        // And the new port really is the controller.
        SerialTransport t(f.clock);
        QCOMPARE(t.OpenComPort(f.dlg->m_strComPort), 0);
        t.CloseComPort();
    }

    void switchToHidInHidModeClosesHeldHandleFirst()
    {
        DialogFixture f(knobsIn(InHid));
        f.open();
        f.dlg->Run([&] { f.dlg->OnDeviceChange(true); });  // keeps the controller open
        QCOMPARE(f.sim->hidBus().openControllerHandles(), 1);
        f.dlg->m_strLog.clear();
        f.prompts.onMessage = [&](const QString&) {
            // Closed before the message.
            QCOMPARE(f.sim->hidBus().openControllerHandles(), 0);
        };
        f.dlg->OnSwitchToHid();
        QCOMPARE(f.prompts.messages, QStringList{QStringLiteral("Already Open USBHID!")});
        QCOMPARE(f.prompts.captions, QStringList{QStringLiteral("tst_switch")});
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
        QVERIFY(f.controller().presentAs(SimKnobs::Mode::Com));
    }

    void switchToComInComModeRefuses()
    {
        DialogFixture f(knobsIn(InCom));
        f.open();
        f.dlg->OnSwitchToCom();
        QCOMPARE(f.prompts.messages, QStringList{QStringLiteral("Already Open COM!")});
        QCOMPARE(f.clock.sleptMs(), 0);
        QVERIFY(f.controller().presentAs(SimKnobs::Mode::Com));
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
        const Indication after = !lastArrives         ? Indication{0, false, false, false, false}
                                 : presence == InHid ? HID_MODE
                                                     : COM_MODE;
        QCOMPARE(indication(f), after);
        // Every arrival opened the controller anew; only the last handle is
        // held (a removal leaves it).
        QCOMPARE(f.sim->hidBus().openControllerHandles(), presence == InHid ? 1 : 0);
    }
};

QTEST_MAIN(TestSwitch)
#include "tst_switch.moc"
