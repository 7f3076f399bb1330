// Placeholder: mode switching, device events and calibration are being built.
#include "app/ToolDlg.h"
void CToolDlg::OnSwitchToHid() {}
void CToolDlg::OnSwitchToCom() {}
void CToolDlg::OnCalibrate() {}
void CToolDlg::OnDeviceChange(bool) {}
