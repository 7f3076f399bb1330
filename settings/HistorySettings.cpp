#include "settings/HistorySettings.h"
#include "settings/IniFile.h"

HistorySettings ReadHistorySettings(const QString& configPath)
{
    const QString section = QStringLiteral("History");
    // Longer than the IDs: a line database's URL may be long.
    constexpr int SIZE = 4096;
    return {GetPrivateProfileString(section, QStringLiteral("Url"), QString(), SIZE, configPath),
            GetPrivateProfileString(section, QStringLiteral("Station"), QString(), SIZE, configPath)};
}
