#include "cli/CommandRunner.h"
#include "cli/CommandLine.h"
#include "cli/CommandSession.h"
#include "cli/ExitStatus.h"
#include "cli/Output.h"
#include "cli/PlatformChoice.h"
#include "cli/StopSignal.h"
#include "cli/CommandTable.h"
#include "hid/HidText.h"
#include "platform/EventLoopClock.h"
#include "platform/Prompts.h"
#include "journal/JournalOpen.h"
#include "settings/ControllerIds.h"
#include "settings/HistorySettings.h"
#include "settings/SlotMap.h"
#include "settings/SettingsFile.h"
#include "simulator/SimPlatform.h"
#include <QCoreApplication>
#include <QFileInfo>

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

void Print(std::FILE* f, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), f);
}

int RunCommand(const Invocation& inv, int& argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("morvax-tool"));
    Output out(inv.json);
    StopSignal::Install();
    const Command& command = *FindCommand(inv.command);
    CommandRun run{inv, out};
    if (!command.usesDevices)
        return command.run(run);

    // The controller's IDs: --vid/--pid, else the settings file: --config,
    // else the Config.ini the window reads.
    if (!inv.config.isEmpty() && !QFileInfo(inv.config).isFile())
        return out.result(EXIT_USAGE, QStringLiteral("Cannot read the settings file %1").arg(inv.config));
    const QString configPath = inv.config.isEmpty() ? SettingsFilePath(QStringLiteral("Config.ini")) : inv.config;
    const ControllerIds config = ReadControllerIds(configPath);
    QString vid = inv.vid.isEmpty() ? config.vid : inv.vid;
    QString pid = inv.pid.isEmpty() ? config.pid : inv.pid;

    EventLoopClock clock;
    NoPrompts prompts;
    PlatformChoice choice;
    QString error;
    if (!choice.choose(PlatformChoice::KindOf(inv), clock, prompts, error))
        return out.result(EXIT_USAGE, error);
    Platform platform = choice.platform();
    // Without a settings file the simulated controller names itself.
    if (SimPlatform* sim = choice.simulator(); sim && vid.isEmpty() && pid.isEmpty()) {
        vid = HidText::IdText(sim->controller().knobs().vid);
        pid = HidText::IdText(sim->controller().knobs().pid);
    }
    // Device events are not needed: a command looks when it must, but for a
    // station that watches for controllers plugged in.
    if (!inv.watch)
        platform.watcher = nullptr;
    // The fixture's slots; a bad line is the user's to mend before anything
    // runs.
    SlotMap slotMap;
    if (QString why; !slotMap.read(configPath, why))
        return out.result(EXIT_USAGE, why);

    // The journal, opened before the first record and written to until the
    // command ends; what it cannot do is said, and changes nothing else.
    const HistorySettings history = ReadHistorySettings(configPath);
    const Journal::Identity identity{JournalOpen::Station(inv.station, history.station), JournalOpen::Host(),
                                     JournalOpen::Operator(inv.operatorName), QStringLiteral(PROJECT_VERSION),
                                     inv.command == QLatin1String("selftest") ? QStringLiteral("selftest")
                                                                              : QStringLiteral("command"),
                                     choice.simulator() != nullptr};
    const std::unique_ptr<Journal> journal =
        JournalOpen::Open(JournalTarget::Choose(inv.history, history.url), identity);
    if (journal)
        QObject::connect(journal.get(), &Journal::problem, journal.get(),
                         [&out](const QString& text) { out.problem(QStringLiteral("journal: ") + text); });

    CommandSession session(inv, platform, out, vid, pid);
    session.setJournal(journal.get());
    session.setSlotMap(slotMap);
    run.session = &session;
    return command.run(run);
}
} // namespace

int UsageError(const QString& why, bool json)
{
    if (json)
        Print(stdout, QString::fromUtf8(Output::JsonObject({{QStringLiteral("event"), QStringLiteral("result")},
                                                            {QStringLiteral("ok"), false},
                                                            {QStringLiteral("exit"), EXIT_USAGE},
                                                            {QStringLiteral("message"), why},
                                                            {QStringLiteral("reason"), QString()}})) +
                          u'\n');
    Print(stderr, QStringLiteral("morvax-tool: %1\n").arg(why));
    return EXIT_USAGE;
}

int RunCommandLine(const Invocation& inv, int& argc, char** argv)
{
    switch (inv.action) {
    case Invocation::Action::Help:
        Print(stdout, HelpText());
        return EXIT_OK;
    case Invocation::Action::Version:
        Print(stdout, QStringLiteral("morvax-tool %1\n").arg(QStringLiteral(PROJECT_VERSION)));
        return EXIT_OK;
    case Invocation::Action::Error:
        return UsageError(inv.error, inv.json);
    case Invocation::Action::Command:
        return RunCommand(inv, argc, argv);
    case Invocation::Action::Window:
        break;
    }
    return UsageError(QStringLiteral("no command"), inv.json);
}
