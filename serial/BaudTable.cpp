#include "serial/BaudTable.h"
#include <cstring>

namespace {
constexpr BaudTable::Row ROWS[BaudTable::COUNT] = {
    {"9600", "baud=9600 parity=N data=8 stop=2", 9600},
    {"38400", "baud=38400 parity=N data=8 stop=2", 38400},
    {"115200", "baud=115200 parity=N data=8 stop=2", 115200},
    {"128000", "baud=128000 parity=N data=8 stop=2", 128000},
    {"230400", "baud=230400 parity=N data=8 stop=2", 230400},
    {"256000", "baud=256000 parity=N data=8 stop=2", 256000},
    {"460800", "baud=460800 parity=N data=8 stop=2", 460800},
};
} // namespace

const char* BaudTable::entry(int index)
{
    return (index >= 0 && index < COUNT) ? ROWS[index].entry : "";
}

const char* BaudTable::settingsFor(const QString& entryText)
{
    for (const Row& r : ROWS)
        if (entryText == QLatin1String(r.entry))
            return r.settings;
    return defaultSettings();
}

const char* BaudTable::defaultSettings() { return ROWS[DEFAULT_INDEX].settings; }

const BaudTable::Row* BaudTable::find(const char* settings)
{
    if (!settings)
        return nullptr;
    for (const Row& r : ROWS)
        if (std::strcmp(settings, r.settings) == 0)
            return &r;
    return nullptr;
}
