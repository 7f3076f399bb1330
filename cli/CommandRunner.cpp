#include "cli/CommandRunner.h"
#include "app/IniFile.h"
#include "app/SettingsFile.h"
#include "cli/CommandLine.h"
#include "cli/CommandSession.h"
#include "cli/ExitStatus.h"
#include "cli/Output.h"
#include "cli/StopSignal.h"
#include "hid/HidText.h"
#include "platform/EventLoopClock.h"
#include "platform/LinuxHidBus.h"
#include "platform/LinuxSerialPortMap.h"
#include "platform/Prompts.h"
#include "simulator/SimPlatform.h"
#include <QCoreApplication>
#include <QFileInfo>
#include <memory>

namespace {
// The operations the commands run never ask the user anything; should one
// ever do, the question goes to stderr and is taken as answered.
class NoPrompts : public Prompts {
public:
    void messageBox(const QString& text, const QString&) override
    {
        std::fprintf(stderr, "morvax-tool: %s\n", qPrintable(text));
    }
    QString openFileName(const QString&, const QString&) override { return {}; }
};

const char* const SIM_SETTINGS = "MORVAX_SIM";
} // namespace

int RunCommand(const Invocation& inv, int& argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("morvax-tool"));
    Output out(inv.json);
    StopSignal::Install();

    // The controller's IDs: --vid/--pid, else the settings file: --config,
    // else the Config.ini the window reads.
    if (!inv.config.isEmpty() && !QFileInfo(inv.config).isFile())
        return out.result(EXIT_USAGE, QStringLiteral("Cannot read the settings file %1").arg(inv.config));
    const QString config = inv.config.isEmpty() ? SettingsFilePath(QStringLiteral("Config.ini")) : inv.config;
    auto fromConfig = [&config](const char* key) {
        return GetPrivateProfileString(QStringLiteral("VID/PID"), QString::fromLatin1(key), QString(), 260, config);
    };
    QString vid = inv.vid.isEmpty() ? fromConfig("VID") : inv.vid;
    QString pid = inv.pid.isEmpty() ? fromConfig("PID") : inv.pid;

    EventLoopClock clock;
    NoPrompts prompts;
    std::unique_ptr<SimPlatform> sim;
    std::unique_ptr<LinuxSerialPortMap> portMap;
    std::unique_ptr<LinuxHidBus> hidBus;
    Platform platform;
    if (inv.simulate != Invocation::Simulate::No) {
        SimKnobs knobs;
        int count = 1;
        QString error;
        if (!SimPlatform::ParseSettings(qEnvironmentVariable(SIM_SETTINGS), knobs, count, error))
            return out.result(EXIT_USAGE, QStringLiteral("%1: %2").arg(QString::fromLatin1(SIM_SETTINGS), error));
        knobs.startMode = inv.simulate == Invocation::Simulate::Hid ? SimKnobs::Mode::Hid : SimKnobs::Mode::Com;
        sim = std::make_unique<SimPlatform>(clock, prompts, knobs, count);
        platform = sim->platform();
        // Without a settings file the simulated controller names itself.
        if (vid.isEmpty() && pid.isEmpty()) {
            vid = HidText::IdText(knobs.vid);
            pid = HidText::IdText(knobs.pid);
        }
    } else {
        portMap = std::make_unique<LinuxSerialPortMap>();
        hidBus = std::make_unique<LinuxHidBus>();
        platform.clock = &clock;
        platform.prompts = &prompts;
        platform.portMap = portMap.get();
        platform.hidBus = hidBus.get();
    }
    // Device events are not needed: a command looks when it must.
    platform.watcher = nullptr;

    CommandSession session(inv, platform, out, vid, pid);
    return session.run();
}
