#include "settings/SettingsFile.h"
#include <QDir>
#include <QFileInfo>

namespace {
bool IsRegularFile(const QString& path)
{
    // Follows links: a link to a regular file counts, a dangling one not.
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}
} // namespace

QString ToolDir(const QByteArray& xdgVariable, const QByteArray& home, const QString& inHome)
{
    // A relative value is invalid and ignored, as for an unset one.
    QString base;
    if (!xdgVariable.isEmpty() && QDir::isAbsolutePath(QString::fromLocal8Bit(xdgVariable)))
        base = QString::fromLocal8Bit(xdgVariable);
    else if (!home.isEmpty())
        base = QString::fromLocal8Bit(home) + u'/' + inHome;
    else
        return QString();
    return QDir::cleanPath(base + QStringLiteral("/morvax-tool"));
}

QString UserSettingsDir(const QByteArray& xdgConfigHome, const QByteArray& home)
{
    return ToolDir(xdgConfigHome, home, QStringLiteral(".config"));
}

QString ChooseSettingsFile(const QString& name, const QString& workDir, const QByteArray& xdgConfigHome,
                           const QByteArray& home)
{
    const QString local = workDir.isEmpty() ? name : QDir(workDir).filePath(name);
    if (IsRegularFile(local))
        return local;
    const QString dir = UserSettingsDir(xdgConfigHome, home);
    if (!dir.isEmpty()) {
        const QString user = dir + u'/' + name;
        if (IsRegularFile(user))
            return user;
    }
    return local;
}

QString SettingsFilePath(const QString& name)
{
    return ChooseSettingsFile(name, QString(), qgetenv("XDG_CONFIG_HOME"), qgetenv("HOME"));
}
