#include "cli/UdevRuleCommand.h"
#include "cli/CommandLine.h"
#include "cli/ExitStatus.h"
#include "cli/Output.h"
#include "cli/UdevRule.h"
#include "settings/ControllerIds.h"
#include "settings/SettingsFile.h"
#include <QFileInfo>

namespace {
// The IDs --vid and --pid do not give, from the settings file. False, with
// why, when the file cannot be read.
bool FillFromConfig(const Invocation& inv, ControllerIds& ids, QString& config, QString& why)
{
    const bool given = !inv.config.isEmpty();
    config = given ? inv.config : SettingsFilePath(QStringLiteral("Config.ini"));
    // Only a regular file is read: a FIFO would block the command.
    const QFileInfo info(config);
    if (!info.exists()) {
        const QString user = UserSettingsDir(qgetenv("XDG_CONFIG_HOME"), qgetenv("HOME"));
        why = given ? QStringLiteral("%1: no such file").arg(config)
                    : QStringLiteral("no Config.ini in the working directory%1; name one with --config FILE, or "
                                     "give --vid and --pid")
                          .arg(user.isEmpty() ? QString() : QStringLiteral(" or in ") + user);
        return false;
    }
    if (!info.isFile())
        why = QStringLiteral("%1: not a regular file").arg(config);
    else if (!info.isReadable())
        why = QStringLiteral("%1: cannot read it").arg(config);
    if (!why.isEmpty())
        return false;
    const ControllerIds fromFile = ReadControllerIds(config);
    if (ids.vid.isEmpty())
        ids.vid = fromFile.vid;
    if (ids.pid.isEmpty())
        ids.pid = fromFile.pid;
    return true;
}
} // namespace

int RunUdevRuleCommand(const Invocation& inv, Output& out)
{
    ControllerIds ids{inv.vid, inv.pid};
    QString config, why;
    if ((ids.vid.isEmpty() || ids.pid.isEmpty()) && !FillFromConfig(inv, ids, config, why))
        return out.result(EXIT_USAGE, why);
    const QString rules = MakeUdevRules(ids.vid, ids.pid, why);
    if (rules.isEmpty())  // the file that named the refused ID, when one did
        return out.result(EXIT_USAGE, config.isEmpty() ? why : QStringLiteral("%1: %2").arg(config, why));
    out.text(rules);
    return out.result(EXIT_OK, QString(), QString(), {{QStringLiteral("rules"), rules}});
}
