#include "hid/HidText.h"

namespace HidText {

QString IdText(std::uint16_t id)
{
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
}

QString VersionText(std::uint16_t version)
{
    return QStringLiteral("0x") + QString::number(version, 16);
}

bool EqualNoCase(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return false;
    auto lower = [](char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c; };
    for (qsizetype i = 0; i < a.size(); ++i)
        if (lower(a[i].unicode()) != lower(b[i].unicode()))
            return false;
    return true;
}

bool IdsMatch(std::uint16_t vendorId, std::uint16_t productId, const QString& vidText, const QString& pidText)
{
    // Product first, then vendor, as the identification compares them.
    return EqualNoCase(IdText(productId), pidText) && EqualNoCase(IdText(vendorId), vidText);
}

} // namespace HidText
