#include "resources/Resources.h"
#include "resources/ArtworkPixels.h"
#include <QCoreApplication>
#include <QHash>

namespace {

// One cache for every kind of artwork. Each entry is made once; callers get
// copies that share its data, so icons compare equal by cacheKey().
struct Cache {
    QHash<int, QIcon> icons;
    QHash<int, QCursor> cursors;
    QHash<int, QPixmap> bitmaps;
};

void ClearCache();

Cache& TheCache()
{
    static Cache cache;
    static bool registered = false;
    if (!registered) {
        // Pixmaps must not outlive the application object: empty the cache
        // when it goes away (a later application starts a fresh one).
        qAddPostRoutine(ClearCache);
        registered = true;
    }
    return cache;
}

void ClearCache()
{
    Cache& c = TheCache();
    c.icons.clear();
    c.cursors.clear();
    c.bitmaps.clear();
}

QPixmap Pixmap(const ArtworkPixels::Picture& picture)
{
    return QPixmap::fromImage(picture.image());
}

QIcon MakeIcon(int id)
{
    QIcon icon;
    switch (id) {
    case IDR_MAINFRAME:
        for (const ArtworkPixels::Picture& size : ArtworkPixels::APP_ICON)
            icon.addPixmap(Pixmap(size));
        break;
    case IDI_BULB_GREY:
        icon.addPixmap(Pixmap(ArtworkPixels::BULB_GREY));
        break;
    case IDI_BULB_GREEN:
        icon.addPixmap(Pixmap(ArtworkPixels::BULB_GREEN));
        break;
    default:
        break;
    }
    return icon;
}

}  // namespace

QIcon ToolIcon(int id)
{
    if (id != IDR_MAINFRAME && id != IDI_BULB_GREY && id != IDI_BULB_GREEN)
        return QIcon();
    Cache& c = TheCache();
    auto it = c.icons.find(id);
    if (it == c.icons.end())
        it = c.icons.insert(id, MakeIcon(id));
    return *it;
}

QString IconWords(const QIcon& icon)
{
    if (icon.isNull())
        return QString();
    if (icon.cacheKey() == ToolIcon(IDI_BULB_GREEN).cacheKey())
        return QStringLiteral("green lamp");
    if (icon.cacheKey() == ToolIcon(IDI_BULB_GREY).cacheKey())
        return QStringLiteral("grey lamp");
    return QString();
}

std::optional<QCursor> ToolCursor(int id)
{
    if (id != IDC_HAND)
        return std::nullopt;
    Cache& c = TheCache();
    auto it = c.cursors.find(id);
    if (it == c.cursors.end())
        it = c.cursors.insert(id, QCursor(Pixmap(ArtworkPixels::HAND), 5, 0));
    return *it;
}

QPixmap ToolBitmap(int id)
{
    if (id != IDB_PANEL)
        return QPixmap();
    Cache& c = TheCache();
    auto it = c.bitmaps.find(id);
    if (it == c.bitmaps.end())
        it = c.bitmaps.insert(id, Pixmap(ArtworkPixels::PANEL));
    return *it;
}

QString ProductText()
{
    return QStringLiteral("MORVAX Tool\nVersion 1.0.0\n2026-12-06");
}
