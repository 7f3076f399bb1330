#include "cli/UdevRule.h"
#include <QFile>

namespace {
bool IsHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The text as a reason may quote it: printable ASCII kept, anything else as
// \xNN, and long texts cut, so that the reason stays one readable line.
QString Quoted(const QString& text)
{
    constexpr int MAX_SHOWN = 16;
    QString out = QStringLiteral("\"");
    for (qsizetype i = 0; i < text.size() && i < MAX_SHOWN; ++i) {
        const QChar c = text[i];
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f && c != u'"' && c != u'\\')
            out += c;
        else
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'));
    }
    if (text.size() > MAX_SHOWN)
        out += QStringLiteral("...");
    return out + u'"';
}
} // namespace

QString UdevId(const QString& key, const QString& text, QString& reason)
{
    if (text.isEmpty()) {
        reason = QStringLiteral("%1 is empty (it must be four hexadecimal digits)").arg(key);
        return QString();
    }
    bool ok = text.size() == 4;
    for (QChar c : text)
        ok = ok && IsHexDigit(c);
    if (!ok) {
        reason = QStringLiteral("%1 %2 is not four hexadecimal digits").arg(key, Quoted(text));
        return QString();
    }
    return text.toLower();
}

QString MakeUdevRules(const QString& vidText, const QString& pidText, QString& reason)
{
    const QString vid = UdevId(QStringLiteral("VID"), vidText, reason);
    if (vid.isEmpty())
        return QString();
    const QString pid = UdevId(QStringLiteral("PID"), pidText, reason);
    if (pid.isEmpty())
        return QString();
    QFile file(QStringLiteral(":/dist/70-morvax-tool.rules.in"));
    if (!file.open(QIODevice::ReadOnly)) {
        reason = QStringLiteral("the rules template is missing from this build");
        return QString();
    }
    return QString::fromUtf8(file.readAll())
        .replace(QStringLiteral("@VID@"), vid)
        .replace(QStringLiteral("@PID@"), pid);
}
