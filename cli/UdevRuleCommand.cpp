#include "cli/UdevRuleCommand.h"
#include "settings/IniFile.h"
#include "settings/SettingsFile.h"
#include "cli/UdevRule.h"
#include <QFileInfo>

namespace {
constexpr int EXIT_USAGE = 2;

const char USAGE[] = "usage: morvax-tool udev-rule [--config FILE]\n"
                     "Prints the udev rules that let users without root reach the controller\n"
                     "named by the VID and PID in FILE (default: Config.ini in the working\n"
                     "directory, else in $XDG_CONFIG_HOME/morvax-tool/).\n";

int Fail(std::FILE* err, const QString& line)
{
    std::fprintf(err, "morvax-tool udev-rule: %s\n", line.toLocal8Bit().constData());
    return EXIT_USAGE;
}
} // namespace

int RunUdevRuleCommand(const QStringList& args, std::FILE* out, std::FILE* err)
{
    QString config;
    bool configGiven = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QStringLiteral("-h") || a == QStringLiteral("--help")) {
            std::fputs(USAGE, out);
            return 0;
        }
        if (a == QStringLiteral("--config") && i + 1 < args.size()) {
            config = args[++i];
            configGiven = true;
        } else if (a.startsWith(QStringLiteral("--config="))) {
            config = a.mid(9);
            configGiven = true;
        } else {
            std::fputs(USAGE, err);
            return Fail(err, a == QStringLiteral("--config") ? QStringLiteral("--config needs a file name")
                                                             : QStringLiteral("unknown argument %1").arg(a));
        }
    }
    if (!configGiven)
        config = SettingsFilePath(QStringLiteral("Config.ini"));

    // Only a regular file is read: a FIFO would block the command.
    const QFileInfo info(config);
    if (!info.exists()) {
        if (configGiven)
            return Fail(err, QStringLiteral("%1: no such file").arg(config));
        const QString user = UserSettingsDir(qgetenv("XDG_CONFIG_HOME"), qgetenv("HOME"));
        return Fail(err, QStringLiteral("no Config.ini in the working directory%1; name one with --config FILE")
                             .arg(user.isEmpty() ? QString() : QStringLiteral(" or in ") + user));
    }
    if (!info.isFile())
        return Fail(err, QStringLiteral("%1: not a regular file").arg(config));
    if (!info.isReadable())
        return Fail(err, QStringLiteral("%1: cannot read it").arg(config));

    const QString section = QStringLiteral("VID/PID");
    const QString vid = GetPrivateProfileString(section, QStringLiteral("VID"), QString(), 260, config);
    const QString pid = GetPrivateProfileString(section, QStringLiteral("PID"), QString(), 260, config);
    QString reason;
    const QString rules = MakeUdevRules(vid, pid, reason);
    if (rules.isEmpty())
        return Fail(err, QStringLiteral("%1: %2").arg(config, reason));
    const QByteArray bytes = rules.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), out);
    std::fflush(out);
    return 0;
}
