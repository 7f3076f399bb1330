#include "settings/IniFile.h"
#include "platform/RegularFile.h"
#include <QList>

namespace {
QByteArray trimmed(const QByteArray& s)
{
    // Blanks and tabs only: other control bytes are part of the text.
    qsizetype b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.mid(b, e - b);
}

bool sameName(const QByteArray& a, const QString& b)
{
    return QString::fromLatin1(a).compare(b, Qt::CaseInsensitive) == 0;
}
} // namespace

std::vector<ProfileEntry> ProfileSection(const QByteArray& contents, const QString& section)
{
    std::vector<ProfileEntry> entries;
    QByteArray text = contents;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    bool inSection = false;
    int number = 0;
    for (QByteArray line : text.split('\n')) {
        ++number;
        if (line.endsWith('\r'))
            line.chop(1);
        const QByteArray t = trimmed(line);
        if (t.startsWith('[')) {
            if (inSection)
                break;  // only the first matching section counts
            const qsizetype close = t.indexOf(']');
            inSection = sameName(trimmed(t.mid(1, close < 0 ? -1 : close - 1)), section);
            continue;
        }
        if (!inSection || t.isEmpty())
            continue;
        const qsizetype eq = t.indexOf('=');
        ProfileEntry entry{QString::fromLatin1(trimmed(eq < 0 ? t : t.left(eq))), QString(), number, eq >= 0};
        if (eq >= 0) {
            QByteArray value = trimmed(t.mid(eq + 1));
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
                value = value.mid(1, value.size() - 2);
            entry.value = QString::fromLatin1(value);
        }
        entries.push_back(entry);
    }
    return entries;
}

QString ProfileLookup(const QByteArray& contents, const QString& section, const QString& key, const QString& def,
                      int size)
{
    QString result = def;
    for (const ProfileEntry& e : ProfileSection(contents, section))
        if (e.hasValue && e.key.compare(key, Qt::CaseInsensitive) == 0) {
            result = e.value;
            break;
        }
    if (size > 0 && result.size() > size - 1)
        result.truncate(size - 1);
    return result;
}

bool ReadSettingsFile(const QString& fileName, QByteArray& contents)
{
    // Only a regular file is read, and nothing waits: a FIFO, a directory or
    // a device under the name counts as no file at all. A settings file is
    // small; at most 1 MiB of it is read.
    RegularFile f;
    return f.open(fileName) && f.read(contents, 1 << 20);
}

QString GetPrivateProfileString(const QString& section, const QString& key, const QString& def, int size,
                                const QString& fileName)
{
    QByteArray contents;
    if (!ReadSettingsFile(fileName, contents))
        return size > 0 ? def.left(size - 1) : def;
    return ProfileLookup(contents, section, key, def, size);
}
