#pragma once
#include <QString>

// The controller's vendor and product IDs as a settings file names them:
// keys VID and PID of the section [VID/PID], read as GetPrivateProfileString
// reads them (at most 259 characters each). A missing file, section or key
// gives an empty text; the texts are not checked here, every user of them
// has its own rule (the window matches them as typed, udev-rule wants four
// hex digits). Any thread.
struct ControllerIds {
    QString vid;
    QString pid;
};
ControllerIds ReadControllerIds(const QString& configPath);
