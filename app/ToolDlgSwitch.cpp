// Mode switching, device arrival and removal, calibration.
#include "app/ModeIndication.h"
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
// No controller to show (indication: REMOVED or NOTHING_ARRIVED): the port
// name blank and no rate chosen.
void ShowNoController(CToolDlg& d, const ModeIndication& indication)
{
    d.ShowMode(indication);
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
    UpdateData(false);
    ShowMode(Indications::SWITCHED_TO_HID);
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
    if (!OpenHidForCommand())
        return;
    // The indication changes when the serial port arrives (OnDeviceChange).
    // A command the device did not take makes no switch: the controller stays
    // where it is and no arrival follows, so only why is told.
    if (const DeviceOutcome sent = ModeSwitch::toCom(*m_hid->m_hHid, *m_platform.clock); !sent.ok())
        Log(sent.line() + QStringLiteral("\r\n"));
    m_hid->CloseHidDevice(m_hid->m_hHid);
    UpdateData(false);
}

void CToolDlg::OnCalibrate()
{
    ConfigureBulb(m_btnCalibrate, IDI_BULB_GREY, -20);
    if (!OpenHidForCommand())
        return;
    Calibration calibration(*m_platform.clock);
    const Calibration::Outcome outcome = calibration.run(m_hid->m_hHid);
    if (outcome == Calibration::Outcome::Succeeded) {
        Log(QStringLiteral("HID calibrate successfully!\r\n"));
        ConfigureBulb(m_btnCalibrate, IDI_BULB_GREEN, -20);
    } else {
        // Why, under the message, when the device failed rather than answered.
        if (!calibration.failure().ok())
            Log(calibration.failure().line() + QStringLiteral("\r\n"));
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
        // The removal of another device (a network adapter, a stick) changes
        // nothing while the controller is still there.
        if (ControllerPresent())
            return;
        // Nothing is taken to be attached. Held handles stay; the next open
        // or switch closes them.
        ShowNoController(*this, Indications::REMOVED);
        m_strVersion = QStringLiteral(" ");
        UpdateData(false);
        return;
    }

    // The HID search comes first: a controller in HID mode wins over any
    // serial port. It stays open in m_hHid (OpenHidDevice closes an older
    // handle first).
    if (m_hid->OpenHidDevice()) {
        ShowMode(Indications::HID_ARRIVED);
        m_strComPort = QStringLiteral(" ");
        m_cbBaud->setCurrentIndex(-1);
        return;
    }

    // A controller that is there but may not be opened is told once for the
    // several events one plug raises.
    if (const DeviceOutcome& why = m_hid->failure(); !why.ok()) {
        const QString line = why.line() + QStringLiteral("\r\n");
        if (!m_strLog.startsWith(line))
            Log(line);
    }

    const QString port = FindUsbSerialPort();
    if (!port.isEmpty()) {
        m_strComPort = port;
        m_cbBaud->setCurrentIndex(BaudTable::DEFAULT_INDEX);
        // The name comes from the system from now on; it is not typed again.
        m_editComPort->setEnabled(false);
        UpdateData(false);
        ShowMode(Indications::PORT_ARRIVED);
        return;
    }

    // Nothing found: HID mode is taken as the default, with nothing lit.
    ShowNoController(*this, Indications::NOTHING_ARRIVED);
}

bool CToolDlg::OpenHidForCommand()
{
    // A port still held is closed first: the controller leaves COM mode.
    if (m_transport->m_hCom != SerialTransport::Handle::None)
        m_transport->CloseComPort();
    if (m_hid->OpenHidDevice())
        return true;
    LogHidNotFound();
    UpdateData(false);
    return false;
}

bool CToolDlg::ControllerPresent() const
{
    return !FindUsbSerialPort().isEmpty() || m_hid->Present(m_strVid, m_strPid);
}
