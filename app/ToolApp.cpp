#include "app/ToolApp.h"
#include "app/QtPrompts.h"
#include "app/ToolDlg.h"

bool CToolApp::InitInstance()
{
    CToolDlg dlg(m_platform);
    if (auto* prompts = dynamic_cast<QtPrompts*>(m_platform.prompts))
        prompts->setOwner(&dlg);
    dlg.exec();
    if (auto* prompts = dynamic_cast<QtPrompts*>(m_platform.prompts))
        prompts->setOwner(nullptr);
    return false;
}
