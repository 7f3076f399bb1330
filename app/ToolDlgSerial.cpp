// Placeholder: the serial link's handlers are being built.
#include "app/ToolDlg.h"
void CToolDlg::OnModeD() {}
void CToolDlg::OnModeN() {}
void CToolDlg::OnModeZ() {}
void CToolDlg::OnModeDollar() {}
void CToolDlg::OnSelchangeBaud() {}
QString CToolDlg::FindUsbSerialPort() const { return {}; }
void CToolDlg::SearchSerialPortAtStartup() {}
