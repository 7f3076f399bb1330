#include "app/QtPrompts.h"
#include "app/ToolApp.h"
#include "app/UdevRuleCommand.h"
#include "cli/CommandLine.h"
#include "cli/CommandRunner.h"
#include "cli/Output.h"
#include "platform/EventLoopClock.h"
#include "platform/LinuxHidBus.h"
#include "platform/LinuxSerialPortMap.h"
#include "platform/UdevDeviceWatcher.h"
#include "simulator/SimPlatform.h"
#include <QApplication>
#include <cstdio>

namespace {
void Print(std::FILE* f, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), f);
}

// A usage error: one line on stderr (and the result event when JSON was asked
// for), exit 2. --help says more.
int UsageError(const QString& why, bool json)
{
    if (json)
        Print(stdout, QString::fromUtf8(Output::JsonObject({{QStringLiteral("event"), QStringLiteral("result")},
                                                            {QStringLiteral("ok"), false},
                                                            {QStringLiteral("exit"), 2},
                                                            {QStringLiteral("message"), why},
                                                            {QStringLiteral("reason"), QString()}})) +
                          u'\n');
    Print(stderr, QStringLiteral("morvax-tool: %1\n").arg(why));
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    // The words are read before any application object exists: a command,
    // --help and --version need no display.
    QStringList words;
    for (int i = 1; i < argc; ++i)
        words << QString::fromLocal8Bit(argv[i]);
    const Invocation inv = ParseCommandLine(words);
    switch (inv.action) {
    case Invocation::Action::Help:
        Print(stdout, HelpText());
        return 0;
    case Invocation::Action::Version:
        Print(stdout, QStringLiteral("morvax-tool %1\n").arg(QStringLiteral(PROJECT_VERSION)));
        return 0;
    case Invocation::Action::Error:
        return UsageError(inv.error, words.contains(QStringLiteral("--json")));
    case Invocation::Action::Command:
        if (inv.command == QLatin1String("udev-rule"))
            return RunUdevRuleCommand(inv.rest);
        return RunCommand(inv, argc, argv);
    case Invocation::Action::Window:
        break;
    }

    QApplication app(argc, argv);
    // Message boxes carry the executable's name as their caption.
    QCoreApplication::setApplicationName(QStringLiteral("morvax-tool"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    // Lets the desktop match the window with the installed desktop entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.morvax.Tool"));

    EventLoopClock clock;
    QtPrompts prompts;
    if (inv.simulate != Invocation::Simulate::No) {
        SimKnobs knobs;
        int count = 1;
        QString error;
        if (!SimPlatform::ParseSettings(qEnvironmentVariable("MORVAX_SIM"), knobs, count, error))
            return UsageError(QStringLiteral("MORVAX_SIM: ") + error, false);
        knobs.startMode = inv.simulate == Invocation::Simulate::Hid ? SimKnobs::Mode::Hid : SimKnobs::Mode::Com;
        SimPlatform sim(clock, prompts, knobs, count);
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
