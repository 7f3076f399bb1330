#pragma once
#include <QByteArray>
#include <QString>

// Where the tool reads a settings file of its own (Config.ini, fx.jpg) from.
// The working directory comes first. Only when it holds no regular file of
// that name (none, a directory, a FIFO, a dangling link) does the file come
// from the user's configuration folder, $XDG_CONFIG_HOME/morvax-tool/, or
// ~/.config/morvax-tool/ when XDG_CONFIG_HOME is unset, empty or relative.
// When neither place holds one, the working-directory name is returned, so
// the caller meets a missing file as it would have without the fallback.
// Only chooses the path; opening it is the caller's business.
QString SettingsFilePath(const QString& name);

// The same choice with the places given (environment values as they are,
// empty when unset). workDir "" means the working directory, and the result
// is then name itself, relative.
QString ChooseSettingsFile(const QString& name, const QString& workDir, const QByteArray& xdgConfigHome,
                           const QByteArray& home);

// The user's configuration folder of the tool as chosen above, or "" when
// neither variable gives one. For messages.
QString UserSettingsDir(const QByteArray& xdgConfigHome, const QByteArray& home);

// The tool's folder in one of the user's base folders: xdgVariable's value
// (an XDG_*_HOME variable) when it is absolute, else inHome below home
// (".config", ".local/state"); with "/morvax-tool" after it. "" when
// neither gives a folder.
QString ToolDir(const QByteArray& xdgVariable, const QByteArray& home, const QString& inHome);
