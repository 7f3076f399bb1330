#include "serial/LineSettings.h"
#include "serial/BaudTable.h"

LineSettings::LineSettings() { choose(BaudTable::defaultSettings()); }

void LineSettings::choose(const char* settings)
{
    const BaudTable::Row* row = BaudTable::find(settings);
    if (!row)
        row = BaudTable::find(BaudTable::defaultSettings());
    g_pszCommDef = row->settings;
    m_rate = row->rate;
}
