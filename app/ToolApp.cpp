#include "app/ToolApp.h"
#include "app/QtPrompts.h"
#include "cli/CommandRunner.h"
#include "platform/EventLoopClock.h"
#include "simulator/SimPlatform.h"
#include <QApplication>
#include "settings/SettingsFile.h"
#include "app/ToolDlg.h"
#include "controls/SplashWnd.h"
#include "platform/Clock.h"
#include <QImage>
#include <cstdint>
#include <memory>

void CToolApp::ShowSplash(Clock& clock, const QString& fileName, const std::function<void()>& meanwhile)
{
    auto splash = std::make_unique<CSplashWnd>(fileName);
    splash->ShowSplash();
    splash->DrawCaption(QStringLiteral("MORVAX!"));
    const std::int64_t start = clock.nowMs();
    if (meanwhile)
        meanwhile();
    const std::int64_t left = SPLASH_MS - (clock.nowMs() - start);
    if (left > 0)
        clock.sleepMs(static_cast<int>(left));
    splash->DestroyWindow();
}

bool CToolApp::InitInstance()
{
    // The window is created, and drawn once out of sight, while the picture
    // is up, so that it appears as soon as the picture goes: its first paint
    // on screen then finds the fonts, glyphs and style drawings ready.
    // Neither reads a file or touches a device: the window opens (settings,
    // port search, device events) only when it is shown.
    std::unique_ptr<CToolDlg> dlg;
    // The picture of the working directory, else the user's own.
    ShowSplash(*m_platform.clock, SettingsFilePath(QStringLiteral("fx.jpg")), [&] {
        dlg = std::make_unique<CToolDlg>(m_platform);
        QImage unseen(dlg->size(), QImage::Format_ARGB32_Premultiplied);
        dlg->render(&unseen);
    });
    auto* prompts = dynamic_cast<QtPrompts*>(m_platform.prompts);
    if (prompts)
        prompts->setOwner(dlg.get());
    dlg->exec();
    if (prompts)
        prompts->setOwner(nullptr);
    return false;
}

int CToolApp::Run(PlatformChoice::Kind kind, int& argc, char** argv)
{
    QApplication app(argc, argv);
    // Message boxes carry the executable's name as their caption.
    QCoreApplication::setApplicationName(QStringLiteral("morvax-tool"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    // Lets the desktop match the window with the installed desktop entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.morvax.Tool"));

    EventLoopClock clock;
    QtPrompts prompts;
    PlatformChoice choice;
    QString error;
    if (!choice.choose(kind, clock, prompts, error))
        return UsageError(error, false);
    if (SimPlatform* sim = choice.simulator())
        sim->removeOtherDeviceOnSignal();
    CToolApp(choice.platform()).InitInstance();
    return 0;
}
