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

QString UserSettingsDir(const QByteArray& xdgConfigHome, const QByteArray& home)
{
    // A relative XDG_CONFIG_HOME is invalid and ignored, as for an unset one.
    QString base;
    if (!xdgConfigHome.isEmpty() && QDir::isAbsolutePath(QString::fromLocal8Bit(xdgConfigHome)))
        base = QString::fromLocal8Bit(xdgConfigHome);
    else if (!home.isEmpty())
        base = QString::fromLocal8Bit(home) + QStringLiteral("/.config");
    else
        return QString();
    return QDir::cleanPath(base + QStringLiteral("/morvax-tool"));
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
