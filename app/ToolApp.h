#pragma once
#include "cli/PlatformChoice.h"
#include "platform/Platform.h"
#include <QString>
#include <functional>

class Clock;

// The application: shows the start-up picture, then runs the main window
// until it is closed.
class CToolApp {
public:
    explicit CToolApp(const Platform& platform) : m_platform(platform) {}

    // The whole run of the window on the platform of kind: the application
    // object, the Qt clock and prompts, then InitInstance. Returns the exit
    // status: 0, or 2 when the simulator's settings are not understood.
    static int Run(PlatformChoice::Kind kind, int& argc, char** argv);
    // Returns false: the process ends when the window has been closed.
    bool InitInstance();

    // The start-up picture: shows fileName (InitInstance passes fx.jpg of
    // the working directory, else of the user's settings folder) centred on
    // the screen with the caption "MORVAX!", runs meanwhile, waits what is
    // left of SPLASH_MS through the clock (the picture keeps painting, user
    // input is held back), then closes it. Without a picture nothing is shown
    // and the wait remains.
    static void ShowSplash(Clock& clock, const QString& fileName = QStringLiteral("fx.jpg"),
                           const std::function<void()>& meanwhile = {});
    static constexpr int SPLASH_MS = 1000;

private:
    Platform m_platform;
};
