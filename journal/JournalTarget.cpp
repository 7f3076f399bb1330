#include "journal/JournalTarget.h"
#include "settings/SettingsFile.h"
#include <QUrl>

JournalTarget JournalTarget::Named(const QString& text)
{
    JournalTarget t;
    t.named = true;
    t.where = text;
    if (text == QLatin1String("off"))
        t.kind = Kind::Off;
    else if (text.startsWith(QLatin1String("postgresql://")) || text.startsWith(QLatin1String("postgres://")))
        t.kind = Kind::Line;
    else
        t.kind = Kind::File;
    return t;
}

QString JournalTarget::DefaultPath(const QByteArray& xdgStateHome, const QByteArray& home)
{
    const QString dir = ToolDir(xdgStateHome, home, QStringLiteral(".local/state"));
    return dir.isEmpty() ? QString() : dir + QStringLiteral("/history.db");
}

JournalTarget JournalTarget::Choose(const QString& option, const QString& environment, const QString& configUrl,
                                    const QByteArray& xdgStateHome, const QByteArray& home)
{
    for (const QString& given : {option, environment, configUrl})
        if (!given.isEmpty())
            return Named(given);
    JournalTarget t;
    t.where = DefaultPath(xdgStateHome, home);
    t.kind = t.where.isEmpty() ? Kind::Off : Kind::File;
    return t;
}

JournalTarget JournalTarget::Choose(const QString& option, const QString& configUrl)
{
    return Choose(option, qEnvironmentVariable("MORVAX_HISTORY"), configUrl, qgetenv("XDG_STATE_HOME"),
                  qgetenv("HOME"));
}

QString JournalTarget::shown() const
{
    if (kind != Kind::Line)
        return where;
    QUrl url(where);
    url.setPassword(QString());
    return url.toString();
}
