#include "app/QtPrompts.h"
#include "app/ToolApp.h"
#include "app/UdevRuleCommand.h"
#include "platform/EventLoopClock.h"
#include "platform/LinuxHidBus.h"
#include "platform/LinuxSerialPortMap.h"
#include "platform/UdevDeviceWatcher.h"
#include "simulator/SimPlatform.h"
#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <cstring>
#include <memory>

int main(int argc, char** argv)
{
    // Commands that need no window run before any application object exists.
    if (argc >= 2 && std::strcmp(argv[1], "udev-rule") == 0) {
        QStringList args;
        for (int i = 2; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
        return RunUdevRuleCommand(args);
    }

    QApplication app(argc, argv);
    // Message boxes carry the executable's name as their caption.
    QCoreApplication::setApplicationName(QStringLiteral("morvax-tool"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    // Lets the desktop match the window with the installed desktop entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.morvax.Tool"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Bench tool for the MORVAX touch-panel controller."));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption simulate(QStringLiteral("simulate"),
                                QStringLiteral("Run on the simulated controller instead of the hardware; "
                                               "MODE is com (default) or hid, the mode it starts in."),
                                QStringLiteral("MODE"), QStringLiteral("com"));
    parser.addOption(simulate);
    // "--simulate" alone takes the default mode.
    QStringList args = app.arguments();
    for (QString& a : args)
        if (a == QStringLiteral("--simulate"))
            a = QStringLiteral("--simulate=com");
    parser.process(args);

    EventLoopClock clock;
    QtPrompts prompts;
    if (parser.isSet(simulate)) {
        const QString mode = parser.value(simulate).toLower();
        if (mode != QStringLiteral("com") && mode != QStringLiteral("hid")) {
            std::fprintf(stderr, "morvax-tool: --simulate takes com or hid, not %s\n", qPrintable(mode));
            return 2;
        }
        SimKnobs knobs;
        knobs.startMode = mode == QStringLiteral("hid") ? SimKnobs::Mode::Hid : SimKnobs::Mode::Com;
        SimPlatform sim(clock, prompts, knobs);
        sim.removeOtherDeviceOnSignal();
        CToolApp(sim.platform()).InitInstance();
        return 0;
    }
    LinuxSerialPortMap portMap;
    LinuxHidBus hidBus;
    UdevDeviceWatcher watcher;
    Platform platform;
    platform.clock = &clock;
    platform.prompts = &prompts;
    platform.portMap = &portMap;
    platform.hidBus = &hidBus;
    platform.watcher = &watcher;
    CToolApp(platform).InitInstance();
    return 0;
}
