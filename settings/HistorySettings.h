#pragma once
#include <QString>

// The journal's settings in a settings file: keys Url and Station of the
// section [History], read as GetPrivateProfileString reads them. Empty when
// not there. Any thread.
struct HistorySettings {
    QString url;      // where the journal goes (a file path, a URL, or "off")
    QString station;  // the station's name in the records
};
HistorySettings ReadHistorySettings(const QString& configPath);
