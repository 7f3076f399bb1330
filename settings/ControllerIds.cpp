#include "settings/ControllerIds.h"
#include "settings/IniFile.h"

ControllerIds ReadControllerIds(const QString& configPath)
{
    const QString section = QStringLiteral("VID/PID");
    return {GetPrivateProfileString(section, QStringLiteral("VID"), QString(), 260, configPath),
            GetPrivateProfileString(section, QStringLiteral("PID"), QString(), 260, configPath)};
}
