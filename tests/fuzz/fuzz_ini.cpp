// The settings-file lookup on any file contents.
//
// Properties:
// - a value never has more than size - 1 characters, for any size;
// - a lookup with no such key gives the default;
// - a section and key put before any contents are found, with the value's
//   blanks trimmed and one pair of matching quotes removed, cut to 259
//   characters, whatever follows; names match without regard to case or to
//   the blanks around them.
#include "FuzzCheck.h"
#include "settings/IniFile.h"
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace {
QByteArray Trimmed(const QByteArray& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.mid(b, e - b);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray contents(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString dflt = QStringLiteral("default");

    for (int cap : {1, 2, 5, 260}) {
        for (const char* key : {"VID", "PID", "vid"}) {
            const QString v = ProfileLookup(contents, QStringLiteral("VID/PID"), QString::fromLatin1(key), dflt, cap);
            FUZZ_CHECK(v.size() <= cap - 1);
        }
    }
    // "=" cannot be part of a key name, so this key is never there.
    FUZZ_CHECK(ProfileLookup(contents, QStringLiteral("VID/PID"), QStringLiteral("A=B"), dflt, 260) == dflt);

    // A value made of the input's first bytes, on one line.
    QByteArray value = contents.left(300);
    value.replace('\r', ' ').replace('\n', ' ');
    const bool spaced = size > 0 && (data[0] & 1);
    const QByteArray section = spaced ? "  [ vid/Pid ]\t\r\n" : "[VID/PID]\r\n";
    const QByteArray key = spaced ? " Vid\t= " : "VID=";
    const QByteArray file = section + key + value + "\r\n" + contents;

    QByteArray expected = Trimmed(value);
    if (expected.size() >= 2 && (expected.front() == '"' || expected.front() == '\'') &&
        expected.back() == expected.front())
        expected = expected.mid(1, expected.size() - 2);
    const QString found = ProfileLookup(file, QStringLiteral("VID/PID"), QStringLiteral("VID"), dflt, 260);
    FUZZ_CHECK(found == QString::fromLatin1(expected).left(259));
    return 0;
}
