// Mode switching, device arrival and removal, calibration.
#include "app/ModeIndication.h"
#include "app/ToolDlg.h"
#include "cli/ExitStatus.h"
#include "journal/OperationRecord.h"
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
    using Result = OperationRecord::Result;
    const std::unique_ptr<OperationRecord> rec = Record(QStringLiteral("switch-hid"), true);
    rec->begin();
    const ModeSwitch::PortResult result = ModeSwitch::SwitchToHid(*m_transport, *m_platform.clock, m_strComPort);
    if (!result.opened) {
        rec->finish(Result::Failed, ExitStatusOf(result.failure), QStringLiteral("COM cannot open!"),
                    result.failure.line());
        ShowSerialFailure();
        DialogMessageBox(QStringLiteral("COM cannot open!"));
        return;
    }
    if (!result.sent) {
        // Not sent: the controller stays in COM mode, and no arrival follows.
        rec->finish(Result::Failed, result.failure.ok() ? EXIT_REFUSED : ExitStatusOf(result.failure), QString(),
                    result.failure.line());
        ShowSerialFailure();
        return;
    }
    // The window does not wait for the controller's return: sent is done.
    rec->finish(Result::Ok, EXIT_OK, QString());
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
    using Result = OperationRecord::Result;
    const std::unique_ptr<OperationRecord> rec = Record(QStringLiteral("switch-com"), false);
    rec->begin();
    if (!OpenHidForCommand(*rec))
        return;
    DescribeHidController(*rec);
    // The indication changes when the serial port arrives (OnDeviceChange).
    // A command the device did not take makes no switch: the controller stays
    // where it is and no arrival follows, so only why is told.
    if (const DeviceOutcome sent = ModeSwitch::toCom(*m_hid->m_hHid, *m_platform.clock); !sent.ok()) {
        Log(sent.line() + QStringLiteral("\r\n"));
        rec->finish(Result::Failed, HidExitStatus(sent, m_hid->Present(m_strVid, m_strPid)), QString(), sent.line());
    } else {
        rec->finish(Result::Ok, EXIT_OK, QString());
    }
    m_hid->CloseHidDevice(m_hid->m_hHid);
    UpdateData(false);
}

void CToolDlg::OnCalibrate()
{
    ConfigureBulb(m_btnCalibrate, IDI_BULB_GREY, -20);
    const std::unique_ptr<OperationRecord> rec = Record(QStringLiteral("calibrate"), false);
    rec->begin();
    if (!OpenHidForCommand(*rec))
        return;
    DescribeHidController(*rec);
    Calibration calibration(*m_platform.clock);
    const Calibration::Outcome outcome = calibration.run(m_hid->m_hHid);
    const bool succeeded = outcome == Calibration::Outcome::Succeeded;
    const QString message =
        succeeded ? QStringLiteral("HID calibrate successfully!") : QStringLiteral("HID calibrate failed1!");
    if (succeeded) {
        ConfigureBulb(m_btnCalibrate, IDI_BULB_GREEN, -20);
    } else if (!calibration.failure().ok()) {
        // Why, under the message, when the device failed rather than answered.
        Log(calibration.failure().line() + QStringLiteral("\r\n"));
    }
    Log(message + QStringLiteral("\r\n"));
    rec->finish(succeeded ? OperationRecord::Result::Ok : OperationRecord::Result::Failed,
                ExitStatusOf(outcome, calibration.failure(), !succeeded && m_hid->Present(m_strVid, m_strPid)),
                message, calibration.reason(outcome));
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

bool CToolDlg::OpenHidForCommand(OperationRecord& rec)
{
    // A port still held is closed first: the controller leaves COM mode.
    if (m_transport->m_hCom != SerialTransport::Handle::None)
        m_transport->CloseComPort();
    if (m_hid->OpenHidDevice())
        return true;
    const DeviceOutcome& why = m_hid->failure();
    rec.finish(OperationRecord::Result::Failed, why.ok() ? EXIT_NO_CONTROLLER : ExitStatusOf(why),
               QStringLiteral("Could not find the specified HID device!"), why.line());
    LogHidNotFound();
    UpdateData(false);
    return false;
}

bool CToolDlg::ControllerPresent() const
{
    return !FindUsbSerialPort().isEmpty() || m_hid->Present(m_strVid, m_strPid);
}
