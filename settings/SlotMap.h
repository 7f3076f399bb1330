#pragma once
#include <QString>
#include <vector>

// The fixture's slots: names the operator sees ("A1") for the USB paths the
// controllers sit at ("1-1.1"), from the [Slots] section of a settings file,
// one a line: A1=1-1.1. A name is letters, digits, '-' and '_'. Any thread.
class SlotMap {
public:
    struct Slot {
        QString name;
        QString usbPath;
    };

    // Reads the [Slots] section of the settings file at path. False, with
    // error naming the line and its number, for a bad line: a bad name, a
    // line without a USB path, one name twice, two slots with one USB path.
    // No file or no section is no error: the map is then empty.
    bool read(const QString& path, QString& error);
    // The same over a file's contents.
    bool parse(const QByteArray& contents, QString& error);

    bool empty() const { return m_slots.empty(); }
    const std::vector<Slot>& all() const { return m_slots; }
    // The slot at usbPath, or "" when no slot names it.
    QString slotAt(const QString& usbPath) const;
    // The slot called name (as written, compared without regard to case), or
    // null.
    const Slot* find(const QString& name) const;

private:
    std::vector<Slot> m_slots;
};
