#pragma once
#include <QString>

// The window's texts as the data exchange moves them between the members and
// the edit boxes, and the message log. Texts hold 8-bit characters (one
// character per byte, Latin-1). Kept apart from the widgets so that the
// operations can be run and tested without a window.
struct ToolData {
    QString m_strEepromFile;  // edit 1027
    QString m_strLog;         // edit 1000, newest message first
    QString m_strFlashFile;   // edit 1028
    QString m_strPid;         // edit 1009, at most 40 characters
    QString m_strVid;         // edit 1010, at most 40 characters
    QString m_strComPort;     // edit 1020
    QString m_strVersion;     // edit 1076

    virtual ~ToolData() = default;

    // Puts a message in front of the log. A message carries its own line ends.
    // The window overrides it to note what its log box does not show yet.
    virtual void Log(const QString& message) { m_strLog.prepend(message); }
};

// The data exchange between the members above and the window's controls.
class DataExchange {
public:
    virtual ~DataExchange() = default;
    // false: members into the controls; true: controls into the members,
    // returning false when a check fails (the user has been told).
    virtual bool UpdateData(bool bSaveAndValidate = true) = 0;
};

// The mode flag: 1 while the controller is taken to be in COM mode. The
// window resets it to 0 when it is constructed.
extern unsigned char g_bComMode;
