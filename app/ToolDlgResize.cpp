// Placeholder: the proportional resizing is being built.
#include "app/ToolDlg.h"
void CToolDlg::RecordRects() {}
void CToolDlg::OnSize() { update(); }
