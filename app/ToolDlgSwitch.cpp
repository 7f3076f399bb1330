// Mode switching, device arrival and removal, calibration.
#include "app/ToolDlg.h"
#include "controls/HoverButton.h"
#include "controls/LedCtrl.h"
#include "hid/HidLink.h"
#include "operations/Calibration.h"
#include "operations/ModeSwitch.h"
#include "resources/Resources.h"
#include "serial/BaudTable.h"
#include "serial/SerialTransport.h"
#include <QComboBox>
#include <QLineEdit>

namespace {
const char* const NOT_FOUND = "Could not find the specified HID device!\r\n";
// A switch command the device did not take: the controller stays where it is
// and no arrival will follow, so the indication must not change.
const char* const NOT_SENT = "The switch command could not be sent!\r\n";

// No controller to show: not in COM mode, both lights dark red, the port name
// blank and no rate chosen. hidLamp is the lamp of "Switch to HID".
void ShowNoController(CToolDlg& d, int hidLamp)
{
    g_bComMode = 0;
    d.ConfigureBulb(d.m_btnSwitchToHid, hidLamp, 0);
    d.ConfigureBulbOnly(d.m_btnSwitchToCom, IDI_BULB_GREY);
    d.ConfigureBulb(d.m_btnCalibrate, IDI_BULB_GREY, -20);
    d.SetLight(d.m_ledHid, LED_RED);
    d.SetLight(d.m_ledCom, LED_RED);
    d.m_strComPort = QStringLiteral(" ");
    d.m_cbBaud->setCurrentIndex(-1);
}
} // namespace

void CToolDlg::OnSwitchToHid()
{
    // A handle kept from an arrival or a download goes first, whatever the mode.
    if (m_hid->m_hHid)
        m_hid->CloseHidDevice(m_hid->m_hHid);
    if (g_bComMode == 0) {
        MessageBox(QStringLiteral("Already Open USBHID!"));
        return;
    }
    UpdateData(true);
    const ModeSwitch::PortResult result = ModeSwitch::SwitchToHid(*m_transport, *m_platform.clock, m_strComPort);
    if (!result.opened) {
        ShowSerialFailure();
        DialogMessageBox(QStringLiteral("COM cannot open!"));
        return;
    }
    if (!result.sent) {
        // Not sent: the controller stays in COM mode, and no arrival follows.
        ShowSerialFailure();
        return;
    }
    g_bComMode = 0;
    UpdateData(false);
    ConfigureBulb(m_btnSwitchToHid, IDI_BULB_GREEN, -20);
    ConfigureBulbOnly(m_btnSwitchToCom, IDI_BULB_GREY);
    SetLight(m_ledHid, LED_GREEN);
    SetLight(m_ledCom, LED_RED);
    // The port is gone once the controller is in HID mode; the box keeps the
    // old name until the next refresh.
    m_strComPort = QStringLiteral(" ");
    m_cbBaud->setCurrentIndex(-1);
}

void CToolDlg::OnSwitchToCom()
{
    UpdateData(true);
    if (g_bComMode == 1) {
        MessageBox(QStringLiteral("Already Open COM!"));
        return;
    }
    if (m_transport->m_hCom != SerialTransport::Handle::None)
        m_transport->CloseComPort();
    if (!m_hid->OpenHidDevice()) {
        Log(QString::fromLatin1(NOT_FOUND));
        return;
    }
    // The indication changes when the serial port arrives (OnDeviceChange).
    if (!ModeSwitch::toCom(*m_hid->m_hHid, *m_platform.clock))
        Log(QString::fromLatin1(NOT_SENT));
    m_hid->CloseHidDevice(m_hid->m_hHid);
    UpdateData(false);
}

void CToolDlg::OnCalibrate()
{
    ConfigureBulb(m_btnCalibrate, IDI_BULB_GREY, -20);
    if (m_transport->m_hCom != SerialTransport::Handle::None)
        m_transport->CloseComPort();
    if (!m_hid->OpenHidDevice()) {
        Log(QString::fromLatin1(NOT_FOUND));
        return;
    }
    Calibration calibration(*m_platform.clock);
    const Calibration::Outcome outcome = calibration.run(m_hid->m_hHid);
    if (outcome == Calibration::Outcome::Succeeded) {
        Log(QStringLiteral("HID calibrate successfully!\r\n"));
        ConfigureBulb(m_btnCalibrate, IDI_BULB_GREEN, -20);
    } else {
        if (outcome == Calibration::Outcome::TimedOut)
            Log(QStringLiteral("HID calibrate gave no answer within %1 s!\r\n")
                    .arg(calibration.readBackTimeoutMs() / 1000));
        Log(QStringLiteral("HID calibrate failed1!\r\n"));
    }
    // Should the read-back still be blocked, only this handle closes; the
    // device itself goes when the read returns.
    m_hid->CloseHidDevice(m_hid->m_hHid);
    UpdateData(false);
}

void CToolDlg::OnDeviceChange(bool arrived)
{
    if (!arrived) {
        // Any removal, of whatever device: nothing is taken to be attached.
        // Held handles stay; the next open or switch closes them.
        ShowNoController(*this, IDI_BULB_GREY);
        m_strVersion = QStringLiteral(" ");
        UpdateData(false);
        return;
    }

    // The HID search comes first: a controller in HID mode wins over any
    // serial port. It stays open in m_hHid (OpenHidDevice closes an older
    // handle first).
    if (m_hid->OpenHidDevice()) {
        g_bComMode = 0;
        ConfigureBulb(m_btnSwitchToHid, IDI_BULB_GREEN, 0);
        ConfigureBulbOnly(m_btnSwitchToCom, IDI_BULB_GREY);
        SetLight(m_ledHid, LED_GREEN);
        SetLight(m_ledCom, LED_RED);
        m_strComPort = QStringLiteral(" ");
        m_cbBaud->setCurrentIndex(-1);
        return;
    }

    const QString port = FindUsbSerialPort();
    if (!port.isEmpty()) {
        m_strComPort = port;
        m_cbBaud->setCurrentIndex(BaudTable::DEFAULT_INDEX);
        // The name comes from the system from now on; it is not typed again.
        m_editComPort->setEnabled(false);
        UpdateData(false);
        g_bComMode = 1;
        ConfigureBulb(m_btnSwitchToHid, IDI_BULB_GREY, 0);
        ConfigureBulbOnly(m_btnSwitchToCom, IDI_BULB_GREEN);
        ConfigureBulb(m_btnCalibrate, IDI_BULB_GREY, -20);
        SetLight(m_ledHid, LED_RED);
        SetLight(m_ledCom, LED_GREEN);
        return;
    }

    // Nothing found: HID mode is taken as the default, with nothing lit.
    ShowNoController(*this, IDI_BULB_GREEN);
}
