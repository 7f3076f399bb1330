// Mode switching and the reaction to device arrival and removal, on the real
// window and the simulated controller (its serial side a real pty).
#include "TestSupport.h"
#include "controls/HoverButton.h"
#include "hid/HidLink.h"
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

} // namespace

class TestSwitch : public QObject {
    Q_OBJECT
private slots:
    void deviceEventOutcomes_data()
    {
        QTest::addColumn<int>("presence");
        QTest::addColumn<bool>("arrived");
        QTest::addColumn<Indication>("shown");
        QTest::addColumn<bool>("hidKept");           // the controller stays open, calibrate lamp kept (else grey)
        QTest::addColumn<bool>("portIsController");  // else " "
        QTest::addColumn<bool>("refreshed");         // the port box shows the new name
        QTest::newRow("arrival, HID device found") << int(InHid) << true << HID_MODE << true << false << false;
        QTest::newRow("arrival, USB serial port found") << int(InCom) << true << COM_MODE << false << true << true;
        QTest::newRow("arrival, nothing found") << int(Absent) << true << NO_PORT << false << false << false;
        QTest::newRow("removal after the controller left") << int(Absent) << false << NO_MODE << false << false << true;
    }
    void deviceEventOutcomes()
    {
        QFETCH(int, presence);
        QFETCH(bool, arrived);
        QFETCH(Indication, shown);
        QFETCH(bool, hidKept);
        QFETCH(bool, portIsController);
        QFETCH(bool, refreshed);
        OpenedDialog f(knobsIn(Presence(presence)));
        // A state the event must overwrite: the opposite mode, an old port
        // name in the box, a green calibrate lamp, a version.
        f.dlg->m_strComPort = QStringLiteral("ttyOLD");
        f.dlg->m_strVersion = QStringLiteral("9.9");
        f.dlg->UpdateData(false);
        f.dlg->ConfigureBulb(f.dlg->m_btnCalibrate, IDI_BULB_GREEN, -20);
        f.dlg->g_bComMode = shown.comMode ? 0 : 1;

        f.dlg->Run([&] { f.dlg->OnDeviceChange(arrived); });

        QCOMPARE(ShownIndication(f), shown);
        // "Switch to HID" carries the lamp at the top of the button here.
        QCOMPARE(f.dlg->m_btnSwitchToHid->iconTop(), 0);
        QVERIFY(LampIs(f.dlg->m_btnCalibrate, hidKept ? IDI_BULB_GREEN : IDI_BULB_GREY));
        const QString port = portIsController ? f.controller().portName() : QStringLiteral(" ");
        QCOMPARE(f.dlg->m_strComPort, port);
        QCOMPARE(f.dlg->m_editComPort->text(), refreshed ? port : QStringLiteral("ttyOLD"));
        QCOMPARE(f.dlg->m_editComPort->isEnabled(), !portIsController);
        QCOMPARE(f.dlg->m_cbBaud->currentIndex(), portIsController ? 6 : -1);
        if (!arrived)
            QCOMPARE(f.dlg->m_editVersion->text(), QStringLiteral(" "));
        QCOMPARE(f.sim->hidBus().openControllerHandles(), hidKept ? 1 : 0);
    }

    void roundTripComToHidToCom()
    {
        OpenedDialog f(knobsIn(InCom));
        const QString firstPort = f.controller().portName();

        // Run as a click does, looking at the handler's own result before the
        // device events it caused are handled.
        f.dlg->Run([&] {
            f.dlg->OnSwitchToHid();
            QVERIFY(f.prompts.messages.isEmpty());
            QCOMPARE(ShownIndication(f), HID_MODE);
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
        QCOMPARE(ShownIndication(f), HID_MODE);
        QCOMPARE(f.dlg->m_strVersion, QStringLiteral("0x213"));

        f.dlg->m_strLog.clear();
        f.dlg->UpdateData(false);
        QTest::mouseClick(f.dlg->m_btnSwitchToCom, Qt::LeftButton);
        QVERIFY(f.prompts.messages.isEmpty());
        // The switch happened inside the 2000 ms wait; the events that came
        // meanwhile were handled after the handler, and found the new port.
        QVERIFY(f.controller().presentAs(SimKnobs::Mode::Com));
        QCOMPARE(ShownIndication(f), COM_MODE);
        QCOMPARE(f.dlg->m_editComPort->text(), f.controller().portName());
        QVERIFY(f.dlg->m_strLog.endsWith(QStringLiteral("CloseHandle worked!\r\nHID Opened OK!\r\nFound HID Device!\r\n")));
        QCOMPARE(f.sim->hidBus().openControllerHandles(), 0);
    }

    void switchToHidInHidModeClosesHeldHandleFirst()
    {
        OpenedDialog f(knobsIn(InHid));
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

    void openPortIsClosedFirst_data()
    {
        QTest::addColumn<bool>("calibrate");
        QTest::newRow("Switch to COM") << false;
        QTest::newRow("Calibrate") << true;
    }
    void openPortIsClosedFirst()
    {
        QFETCH(bool, calibrate);
        OpenedDialog f(knobsIn(InCom));
        f.dlg->g_bComMode = 0;  // taken to be in HID mode, while a port is still open
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
    }

    void eventStormEndsWithTheLastEvent_data()
    {
        QTest::addColumn<int>("presence");
        QTest::addColumn<bool>("lastArrives");
        QTest::newRow("HID controller, arrival last") << int(InHid) << true;
        QTest::newRow("serial controller, arrival last") << int(InCom) << true;
        QTest::newRow("no controller, removal last") << int(Absent) << false;
    }
    void eventStormEndsWithTheLastEvent()
    {
        QFETCH(int, presence);
        QFETCH(bool, lastArrives);
        OpenedDialog f(knobsIn(Presence(presence)));
        const Indication before = ShownIndication(f);
        f.dlg->Run([&] {
            // Events during an operation wait for its end.
            for (int i = 0; i < 200; ++i) {
                emit f.controller().arrived(QStringLiteral("usb"));
                emit f.controller().removed(QStringLiteral("hidraw"));
            }
            if (lastArrives)
                emit f.controller().arrived(QStringLiteral("tty"));
            QCOMPARE(ShownIndication(f), before);
        });
        const Indication after = !lastArrives ? NO_MODE : presence == InHid ? HID_MODE : COM_MODE;
        QCOMPARE(ShownIndication(f), after);
        // Every arrival opened the controller anew; only the last handle is
        // held (a removal leaves it).
        QCOMPARE(f.sim->hidBus().openControllerHandles(), presence == InHid ? 1 : 0);
    }
};

QTEST_MAIN(TestSwitch)
#include "tst_switch.moc"
