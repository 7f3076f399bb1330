#pragma once
#include <QByteArray>
#include <QString>
#include <vector>

// Reads one value from a settings file the way the classic profile reader
// does: section and key names compared without regard to case and with the
// blanks around them ignored; the first matching section and key win; the
// value's surrounding blanks are trimmed and one pair of matching quotes
// removed; the result is cut to size - 1 characters. A missing file, section
// or key gives def, and so does a file that is not a regular file (a FIFO, a
// directory, a device: refused without waiting). Bytes are taken as Latin-1
// characters.
QString GetPrivateProfileString(const QString& section, const QString& key, const QString& def, int size,
                                const QString& fileName);

// One line of a section: its key and value read as the lookup reads them,
// and its number in the file (from 1). A line without '=' has a key (its
// text) and no value.
struct ProfileEntry {
    QString key;
    QString value;
    int line = 0;
    bool hasValue = true;
};
// Every non-blank line of the first section named section, in file order.
std::vector<ProfileEntry> ProfileSection(const QByteArray& contents, const QString& section);
// The contents of a settings file, read as the lookup reads it (a regular
// file only, at most 1 MiB); false when there is none.
bool ReadSettingsFile(const QString& fileName, QByteArray& contents);

// The same lookup over a file's contents, for tests.
QString ProfileLookup(const QByteArray& contents, const QString& section, const QString& key, const QString& def,
                      int size);
