#include "app/ToolApp.h"
#include "app/QtPrompts.h"
#include "app/SettingsFile.h"
#include "app/ToolDlg.h"
#include "controls/SplashWnd.h"
#include "platform/Clock.h"
#include <memory>

void CToolApp::ShowSplash(Clock& clock, const QString& fileName)
{
    auto splash = std::make_unique<CSplashWnd>(fileName);
    splash->ShowSplash();
    splash->DrawCaption(QStringLiteral("MORVAX!"));
    clock.sleepMs(SPLASH_MS);
    splash->DestroyWindow();
}

bool CToolApp::InitInstance()
{
    // The picture of the working directory, else the user's own.
    ShowSplash(*m_platform.clock, SettingsFilePath(QStringLiteral("fx.jpg")));
    CToolDlg dlg(m_platform);
    if (auto* prompts = dynamic_cast<QtPrompts*>(m_platform.prompts))
        prompts->setOwner(&dlg);
    dlg.exec();
    if (auto* prompts = dynamic_cast<QtPrompts*>(m_platform.prompts))
        prompts->setOwner(nullptr);
    return false;
}
