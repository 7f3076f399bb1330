#include "settings/SlotMap.h"
#include "settings/IniFile.h"
#include <QRegularExpression>

bool SlotMap::read(const QString& path, QString& error)
{
    QByteArray contents;
    m_slots.clear();
    if (!ReadSettingsFile(path, contents))
        return true;
    if (!parse(contents, error)) {
        error = QStringLiteral("%1 %2").arg(path, error);
        return false;
    }
    return true;
}

bool SlotMap::parse(const QByteArray& contents, QString& error)
{
    static const QRegularExpression NAME(QStringLiteral("^[A-Za-z0-9_-]+$"));
    m_slots.clear();
    for (const ProfileEntry& e : ProfileSection(contents, QStringLiteral("Slots"))) {
        if (e.key.startsWith(u';') || e.key.startsWith(u'#'))
            continue;  // a comment
        QString why;
        if (!NAME.match(e.key).hasMatch())
            why = QStringLiteral("'%1' is no slot name (letters, digits, - and _)").arg(e.key);
        else if (!e.hasValue || e.value.isEmpty())
            why = QStringLiteral("slot %1 names no USB path").arg(e.key);
        else if (const Slot* same = find(e.key))
            why = QStringLiteral("slot %1 is named twice").arg(same->name);
        else
            for (const Slot& s : m_slots)
                if (s.usbPath == e.value)
                    why = QStringLiteral("slots %1 and %2 name one USB path, %3").arg(s.name, e.key, e.value);
        if (!why.isEmpty()) {
            error = QStringLiteral("line %1: [Slots]: %2").arg(e.line).arg(why);
            m_slots.clear();
            return false;
        }
        m_slots.push_back({e.key, e.value});
    }
    return true;
}

QString SlotMap::slotAt(const QString& usbPath) const
{
    for (const Slot& s : m_slots)
        if (s.usbPath == usbPath)
            return s.name;
    return {};
}

const SlotMap::Slot* SlotMap::find(const QString& name) const
{
    for (const Slot& s : m_slots)
        if (s.name.compare(name, Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}
