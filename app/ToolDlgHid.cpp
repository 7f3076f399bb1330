// The "Setting" command: proves that the controller named by the VID and PID
// edits is attached in HID mode, and shows it on the HID light and the
// switch buttons' lamps.
#include "app/ModeIndication.h"
#include "app/ToolDlg.h"
#include "controls/LedCtrl.h"
#include "hid/HidLink.h"
#include "resources/Resources.h"

void CToolDlg::OnSetting()
{
    if (!UpdateData(true))
        return;
    if (m_strPid.isEmpty() || m_strVid.isEmpty())
        return;
    if (g_bComMode == 1)
        MessageBox(QStringLiteral("Please switch to HID mode!"));  // the search runs all the same

    if (!m_hid->OpenHidDevice()) {
        LogHidNotFound();
        UpdateData(false);
        // Nothing is open here: the close only adds its two messages, which
        // show at the next refresh.
        m_hid->CloseHidDevice(m_hid->m_hHid);
        SetLight(m_ledHid, LED_RED);
        return;
    }
    // The controller is there; it need not stay open.
    m_hid->CloseHidDevice(m_hid->m_hHid);
    ShowMode(Indications::SETTING_FOUND);
}

void CToolDlg::LogHidNotFound()
{
    if (const DeviceOutcome& why = m_hid->failure(); !why.ok())
        Log(why.line() + QStringLiteral("\r\n"));
    Log(QStringLiteral("Could not find the specified HID device!\r\n"));
}
