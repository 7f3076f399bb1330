#include "journal/JournalOpen.h"
#include "journal/LineStore.h"
#include "journal/PgStore.h"
#include "journal/SqliteStore.h"
#include <QSysInfo>
#include <pwd.h>
#include <unistd.h>

namespace JournalOpen {

std::unique_ptr<JournalStore> Reader(const JournalTarget& target)
{
    switch (target.kind) {
    case JournalTarget::Kind::File:
        return std::make_unique<SqliteStore>(target.where);
    case JournalTarget::Kind::Line:
        return std::make_unique<PgStore>(target.where);
    case JournalTarget::Kind::Off:
        break;
    }
    return nullptr;
}

QString LocalPath() { return JournalTarget::DefaultPath(qgetenv("XDG_STATE_HOME"), qgetenv("HOME")); }

std::unique_ptr<Journal> Open(const JournalTarget& target, const Journal::Identity& identity)
{
    if (target.kind == JournalTarget::Kind::Off || (identity.simulated && !target.named))
        return nullptr;
    if (target.kind == JournalTarget::Kind::Line) {
        // The station's own store first, the line's database after.
        const QString local = LocalPath();
        return std::make_unique<Journal>(
            [local, target]() -> std::unique_ptr<JournalStore> { return std::make_unique<LineStore>(local, target.where); },
            identity);
    }
    return std::make_unique<Journal>([target] { return Reader(target); }, identity);
}

QString Host() { return QSysInfo::machineHostName(); }

QString Station(const QString& given, const QString& fromConfig)
{
    if (!given.isEmpty())
        return given;
    return fromConfig.isEmpty() ? Host() : fromConfig;
}

QString Operator(const QString& given)
{
    if (!given.isEmpty())
        return given;
    const QByteArray sudoUser = qgetenv("SUDO_USER");
    if (::getuid() == 0 && !sudoUser.isEmpty())
        return QString::fromLocal8Bit(sudoUser);
    if (const passwd* pw = ::getpwuid(::getuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(::getuid());
}

} // namespace JournalOpen
