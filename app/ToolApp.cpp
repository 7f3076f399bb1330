#include "app/ToolApp.h"
#include "app/QtPrompts.h"
#include "cli/CommandRunner.h"
#include "platform/EventLoopClock.h"
#include "simulator/SimPlatform.h"
#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
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

namespace {
// The demo's knob for showing that the window keeps a controller that is
// still there: SIGUSR1 (kill -USR1 <pid>) makes another USB device leave
// the simulated bus. The handler only writes to a pipe; the window's thread
// reads it. One per process, as signal handlers are.
class OtherDeviceOnSignal {
public:
    explicit OtherDeviceOnSignal(SimController& controller)
    {
        if (::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        m_notifier = std::make_unique<QSocketNotifier>(s_pipe[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [&controller] {
            char buf[16];
            while (::read(s_pipe[0], buf, sizeof buf) > 0) {
            }
            controller.removeOtherDevice();
        });
        std::signal(SIGUSR1, [](int) {
            const char c = 'u';
            (void)!::write(s_pipe[1], &c, 1);
        });
    }
    ~OtherDeviceOnSignal()
    {
        if (!m_notifier)
            return;
        std::signal(SIGUSR1, SIG_DFL);
        m_notifier.reset();
        ::close(s_pipe[0]);
        ::close(s_pipe[1]);
    }

private:
    static inline int s_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};
} // namespace

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
    std::unique_ptr<OtherDeviceOnSignal> demoKnob;
    if (SimPlatform* sim = choice.simulator())
        demoKnob = std::make_unique<OtherDeviceOnSignal>(sim->controller());
    CToolApp(choice.platform()).InitInstance();
    return 0;
}
