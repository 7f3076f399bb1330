// Placeholder: the HID link's handlers are being built.
#include "app/ToolDlg.h"
void CToolDlg::OnSetting() {}
