// Placeholder: the image handlers are being built.
#include "app/ToolDlg.h"
void CToolDlg::OnEepromOpen() {}
void CToolDlg::OnFlashOpen() {}
void CToolDlg::OnEepromDownload() {}
void CToolDlg::OnFlashDownload() {}
