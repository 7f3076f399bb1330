// The settings-file lookup on any file contents, against a model of the rule
// written here from what IniFile.h promises, with patterns instead of the
// product's scanning:
// - a UTF-8 BOM at the start is skipped; lines end at LF, and one CR before
//   the LF is dropped;
// - a line whose first character other than a blank is "[" names a section:
//   the text up to the first "]" (or the line's end); the first section of
//   that name is the one read, and the next section line ends it;
// - in it, a line "key = value" (the first "=" splits) whose key has that
//   name gives the value; the first such line wins;
// - "blank" means space or tab only: they are trimmed around section names,
//   keys and values, and every other byte (CR, VT, NUL, ...) is text;
// - names are compared without regard to case; one pair of matching quotes
//   around the value is removed; the result is cut to size - 1 characters.
//   A value that is not there gives the default.
// Beside inputs taken as whole files, each input also plants an entry in
// front of its bytes, padded with blanks and control bytes it picks.
#include "FuzzCheck.h"
#include "settings/IniFile.h"
#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <cstdint>

namespace {
// The value found, uncut, or def.
QString Model(QByteArray contents, const QString& section, const QString& key, const QString& def)
{
    constexpr auto ANY = QRegularExpression::DotMatchesEverythingOption;
    static const QRegularExpression header(QStringLiteral(R"(^[ \t]*\[[ \t]*([^\]]*?)[ \t]*(?:\]|\z))"), ANY);
    static const QRegularExpression entry(QStringLiteral(R"(^[ \t]*([^=]*?)[ \t]*=[ \t]*(.*?)[ \t]*\z)"), ANY);
    static const QRegularExpression quoted(QStringLiteral(R"(^(["'])(.*)\1\z)"), ANY);
    if (contents.startsWith("\xEF\xBB\xBF"))
        contents.remove(0, 3);
    QString result = def;
    bool inSection = false, seen = false;
    for (QString line : QString::fromLatin1(contents).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (const QRegularExpressionMatch m = header.match(line); m.hasMatch()) {
            if (seen)
                break;
            inSection = seen = m.captured(1).toLower() == section.toLower();
        } else if (const QRegularExpressionMatch m = entry.match(line);
                   inSection && m.hasMatch() && m.captured(1).toLower() == key.toLower()) {
            const QRegularExpressionMatch q = quoted.match(m.captured(2));
            result = q.hasMatch() ? q.captured(2) : m.captured(2);
            break;
        }
    }
    return result;
}

// The lookup gives what the model gives, cut to any size - 1.
void Check(const QByteArray& contents, const QString& section, const QString& key)
{
    const QString dflt = QStringLiteral("default");
    const QString whole = Model(contents, section, key, dflt);
    for (int size : {1, 2, 5, 260}) {
        const QString found = ProfileLookup(contents, section, key, dflt, size);
        FUZZ_CHECK(found.size() <= size - 1);
        FUZZ_CHECK(found == whole.left(size - 1));
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray contents(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString vidPid = QStringLiteral("VID/PID");
    for (const char* key : {"VID", "PID", "vid", "A=B"})
        Check(contents, vidPid, QString::fromLatin1(key));

    // An entry in front: its section line, key and value padded with bytes
    // the input's first bytes pick, its value the input's next bytes.
    static const char PADS[] = {' ', '\t', '\r', '\v', '\f', '\0', '\x1f', '\xa0'};
    const auto pad = [&](std::size_t i) {
        const std::uint8_t b = i < size ? data[i] : 0;
        return QByteArray(b >> 6, PADS[b & 7]);  // 0 to 3 of one byte
    };
    QByteArray value = contents.mid(6, 300);
    value.replace('\n', ' ');
    const QByteArray planted = pad(0) + "[" + pad(1) + "vid/Pid" + pad(1) + "]" + pad(0) + "\r\n" + pad(2) + "Vid" +
                               pad(3) + "=" + pad(4) + value + pad(5) + "\r\n" + contents;
    Check(planted, vidPid, QStringLiteral("VID"));
    Check(planted, QStringLiteral("vid/pid"), QStringLiteral("vid"));
    return 0;
}
